#pragma once
// The file fetch from the vendor's host: one request line on TCP 15170, the file's lines
// bracketed by "<SOF>" and "<EOF>" in the answer.
#include <chrono>
#include <cstddef>
#include <string>

#include "pager/VEKRecords.h"

namespace VEKLib {

// Asks WWWHost for sFile and stores the answer under that name in the current folder.
// 0 "OK" when the answer ran to its "<EOF>" line (without "<SOF>" nothing is written);
// -2 no host set; -10 no connection within 1000 ms; -10054 the host closed before
// "<EOF>" and -10060 no line within the idle limit or no "<EOF>" within the time limit
// (nothing written in either case);
// -999 a caught error.
tRC GetFileFromTarnex(const std::string& sFile, const std::string& sCallingFunction);

// How long the fetch waits for the next line before it gives up (30 s unless changed).
std::chrono::milliseconds TarnexFetchIdleLimit();
void SetTarnexFetchIdleLimit(std::chrono::milliseconds limit);

// How long the whole fetch may take, from the connection to the last line (60 s unless
// changed): a host that trickles one line now and then cannot hold the panel.
std::chrono::milliseconds TarnexFetchTimeLimit();
void SetTarnexFetchTimeLimit(std::chrono::milliseconds limit);

// The most bytes an answer may hold (64 MiB unless changed): a host that streams lines
// without ever sending "<EOF>" ends the fetch as a caught error instead of using up memory.
std::size_t TarnexFetchAnswerLimit();
void SetTarnexFetchAnswerLimit(std::size_t bytes);

}  // namespace VEKLib
