#pragma once
// Watches one folder and reports every change in it as an event on the thread that owns
// the component (the user-interface thread, which must run a Qt event loop). A worker
// thread waits on inotify, reads each batch into the component's buffer and hands it over
// synchronously: it starts the next read only after OnChange has run for the whole batch.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

class QSocketNotifier;

namespace components {

class TProcessMonitor;

// A small set of enumeration members, written like the sets of the property tables:
// {nfFILE_NAME, nfLAST_WRITE}.
template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items) {
    for (E e : items) bits_ |= Bit(e);
  }
  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr TSet& Include(E e) {
    bits_ |= Bit(e);
    return *this;
  }
  constexpr TSet& Exclude(E e) {
    bits_ &= ~Bit(e);
    return *this;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool operator==(const TSet&) const = default;

 private:
  static constexpr std::uint32_t Bit(E e) { return 1u << static_cast<unsigned>(e); }
  std::uint32_t bits_ = 0;
};

enum TNotifyFilter {
  nfFILE_NAME,
  nfDIR_NAME,
  nfATTRIBUTES,
  nfSIZE,
  nfLAST_WRITE,
  nfLAST_ACCESS,
  nfCREATION,
  nfSECURITY
};
using TFilter = TSet<TNotifyFilter>;

enum TAction { faADDED, faREMOVED, faMODIFIED, faRENAMED_OLD_NAME, faRENAMED_NEW_NAME };
using TActionFilter = TSet<TAction>;

class TDirMonitor;
using TEventChange = std::function<void(TDirMonitor* Sender, TAction Action, const std::string& FileName)>;

// Raised when the folder to watch cannot be opened.
class EInvalidOperation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TDirMonitor {
 public:
  static constexpr std::size_t BufferSize = 4097;

  TDirMonitor();
  virtual ~TDirMonitor();
  TDirMonitor(const TDirMonitor&) = delete;
  TDirMonitor& operator=(const TDirMonitor&) = delete;

  std::string Directory = "c:\\brix";
  bool WatchSubtree = false;
  TFilter FilterNotification{nfFILE_NAME};
  TActionFilter FilterAction{faADDED, faREMOVED, faMODIFIED, faRENAMED_OLD_NAME, faRENAMED_NEW_NAME};
  TEventChange OnChange;

  bool Active() const { return active_; }
  // Starts or stops watching. Starting throws EInvalidOperation("No se ha encontrado el
  // directorio") for a folder that cannot be opened, or std::runtime_error("Error en
  // \"CreateIoCompletionPort\"" / "Error en \"ReadDirectoryChanges\"") when inotify
  // refuses; the component then stays inactive and holds no descriptors.
  void SetActive(bool Value);

  // Stored properties: between BeginLoading and Loaded, SetActive only records the value;
  // Loaded then starts watching when it was true.
  void BeginLoading() { loading_ = true; }
  void Loaded();

 private:
  friend class TProcessMonitor;

  void Start();
  void Stop();
  void WakeWorker();
  void BatchReady();
  // Walks one batch; false when the component was destroyed by an OnChange handler.
  bool ProcessBuffer(std::size_t BytesReturned, std::uint64_t Generation);
  // Folders below Directory, written "sub/": watch one with everything below it, watch
  // what is below one, or stop watching one with everything below it.
  void WatchFolderTree(const std::string& RelativeFolder);
  void WatchSubfolders(const std::string& RelativeFolder);
  void UnwatchFolderTree(const std::string& RelativeFolder);
  std::uint32_t WatchMask() const;

  bool active_ = false;
  bool storedActive_ = false;
  bool loading_ = false;

  // Guarded by mutex_: what the worker watches and the hand-over between the two threads.
  std::mutex mutex_;
  std::condition_variable changed_;
  int notifyFd_ = -1;             // the inotify instance while active
  std::uint64_t generation_ = 0;  // a new value for every start and stop
  int pollingFd_ = -1;            // the descriptor the worker is waiting on or reading
  bool handoverPending_ = false;  // a batch waits for (or is in) the walk on the UI thread
  std::uint64_t batchGeneration_ = 0;
  std::size_t bytesReturned_ = 0;
  bool terminated_ = false;

  // Written by the worker only while no batch is handed over; read by the walk only while
  // one is.
  alignas(8) char buffer_[BufferSize] = {};

  int wakeFd_ = -1;   // UI -> worker: look at the state again
  int readyFd_ = -1;  // worker -> UI: a batch is waiting
  QSocketNotifier* readyNotifier_ = nullptr;
  std::unique_ptr<TProcessMonitor> worker_;

  // UI thread only: watch descriptor -> folder relative to Directory ("" or "sub/").
  std::map<int, std::string> folders_;
  std::uint32_t mask_ = 0;
  bool* destroyedFlag_ = nullptr;  // set while a batch is being walked
};

}  // namespace components
