#include "TaskSheetPdf.h"

#include <cstdio>

#include "support/TextUtils.h"

namespace sheetpress {
namespace {

constexpr int kPageWidth = 595;  // A4 in points
constexpr int kPageHeight = 842;
constexpr int kMargin = 50;
constexpr int kBodyFontSize = 10;
constexpr int kBodyLeading = 13;
// Courier is 0.6 em wide: 495 points of line hold 82 characters at 10 points.
constexpr std::size_t kColumns = 80;

// A PDF literal string: the delimiters escaped, everything outside printable ASCII as
// an octal escape, so the content stream stays 7-bit and the bytes keep their meaning.
std::string PdfString(std::string_view text) {
  std::string out = "(";
  for (const unsigned char c : text) {
    if (c == '(' || c == ')' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 32 || c > 126) {
      char octal[5];
      std::snprintf(octal, sizeof octal, "\\%03o", c);
      out += octal;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + ")";
}

// Lines of at most kColumns characters, broken after the last blank that fits, or hard
// when a word is longer than a line. CR is dropped, a tab becomes blanks.
std::vector<std::string> WrapText(std::string_view text) {
  std::vector<std::string> lines;
  std::string current;
  auto flush = [&] {
    lines.push_back(current);
    current.clear();
  };
  for (const char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      flush();
      continue;
    }
    if (c == '\t') {
      current.append(4 - current.size() % 4, ' ');
    } else {
      current += c;
    }
    while (current.size() > kColumns) {
      std::size_t cut = current.rfind(' ', kColumns);
      const bool atBlank = cut != std::string::npos && cut > 0;
      if (!atBlank) cut = kColumns;
      lines.push_back(current.substr(0, cut));
      current.erase(0, atBlank ? cut + 1 : cut);
    }
  }
  if (!current.empty() || lines.empty()) flush();
  while (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  return lines;
}

std::string TextLine(const char* font, int size, int y, std::string_view text) {
  return "BT /" + std::string(font) + " " + std::to_string(size) + " Tf " + std::to_string(kMargin) + " " +
         std::to_string(y) + " Td " + PdfString(text) + " Tj ET\n";
}

std::string ContentStream(const tTaskSheet& sheet) {
  std::string s;
  int y = kPageHeight - kMargin - 16;
  s += TextLine("F1", 18, y, sheet.Title);
  y -= 20;
  for (const std::string& line : sheet.Subtitle) {
    s += TextLine("F2", 9, y, line);
    y -= 12;
  }
  y -= 6;
  // A rule between the heading and the page text.
  s += "0.5 w " + std::to_string(kMargin) + " " + std::to_string(y) + " m " + std::to_string(kPageWidth - kMargin) +
       " " + std::to_string(y) + " l S\n";
  y -= 20;

  std::vector<std::string> lines = WrapText(sheet.Text);
  const int room = (y - kMargin) / kBodyLeading + 1;
  std::size_t shown = lines.size();
  if (static_cast<int>(shown) > room) shown = static_cast<std::size_t>(room - 1);
  for (std::size_t i = 0; i < shown; ++i, y -= kBodyLeading) s += TextLine("F3", kBodyFontSize, y, lines[i]);
  if (shown < lines.size())
    s += TextLine("F2", 9, y, "... " + std::to_string(lines.size() - shown) + " more lines not shown");
  return s;
}

}  // namespace

std::string BuildTaskSheetPdf(const tTaskSheet& sheet) {
  const std::string content = ContentStream(sheet);
  const std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(kPageWidth) + " " + std::to_string(kPageHeight) +
          "] /Resources << /Font << /F1 4 0 R /F2 5 0 R /F3 6 0 R >> >> /Contents 7 0 R >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Courier /Encoding /WinAnsiEncoding >>",
      "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream",
      "<< /Title " + PdfString(sheet.Title) + " /Producer (SheetPress) >>",
  };

  // The binary comment line tells transfer tools that the file is not plain text.
  std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const std::size_t offset : offsets) {
    char entry[21];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R /Info 8 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

std::string TaskSheetFileName(std::string_view taskFileName) {
  const std::size_t slash = taskFileName.rfind('/');
  const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
  const std::string_view folder = taskFileName.substr(0, nameStart);
  std::string_view stem = taskFileName.substr(nameStart);
  const std::size_t dot = stem.rfind('.');
  if (dot != std::string_view::npos && dot > 0) stem = stem.substr(0, dot);
  if (brix32::UpperCase(stem.substr(0, 5)) == "TASK-") stem.remove_prefix(5);
  return std::string(folder) + "TASK-" + std::string(stem) + ".PDF";
}

}  // namespace sheetpress
