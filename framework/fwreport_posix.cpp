// The texts and reports of file and archive failures in the host build,
// which has no string table and no message box: reports go to stderr.
#include <cstdio>

#include "framework/fwarchive.h"
#include "framework/fwfile.h"

namespace fw {

namespace {
const char* const kFileCauses[] = {
    "", "", "not found", "invalid path", "too many open files", "access denied",
    "invalid file handle", "is the current directory", "directory full", "seek failed",
    "hardware I/O error", "sharing violation", "locking violation", "disk full", "read past the end",
};
const char* const kArchiveCauses[] = {
    "", "", "written while being read", "read past its end (short or damaged)",
    "read while being written", "invalid index", "unexpected object", "unknown format or version",
};

template <size_t N>
std::string CauseMessage(const char* const (&texts)[N], int cause, const std::string& file) {
    if (cause <= 1 || static_cast<size_t>(cause) >= N) return {};
    return (file.empty() ? std::string("an unnamed file") : file) + ": " + texts[cause];
}

int Report(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.empty() ? "file error" : text.c_str());
    return 1;  // IDOK
}
} // namespace

std::string FileException::ErrorMessage() const { return CauseMessage(kFileCauses, cause, file_name); }
int FileException::ReportError(unsigned, unsigned) const { return Report(ErrorMessage()); }

std::string ArchiveException::ErrorMessage() const { return CauseMessage(kArchiveCauses, cause, file_name); }
int ArchiveException::ReportError(unsigned, unsigned) const { return Report(ErrorMessage()); }

} // namespace fw
