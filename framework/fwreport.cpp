// The texts and reports of file and archive failures, from the framework's
// string table, shown through the framework's message-box handler.
#include <windows.h>

#include "framework/fwarchive.h"
#include "framework/fwfile.h"
#include "framework/fwmsgbox.h"

namespace fw {

namespace {
// One text per cause, at these bases + cause (res/QWFramework.rc).
constexpr unsigned kIdsFileCauseBase = 61720;
constexpr unsigned kIdsArchiveCauseBase = 61740;

std::string NameOrDefault(const std::string& name) {
    return name.empty() ? std::string("an unnamed file") : name;
}

// The cause's text naming the file; empty for causes without one.
std::string CauseMessage(unsigned base, int cause, const std::string& file_name) {
    if (cause <= 1) return {};
    std::string pattern = LoadFrameworkString(base + static_cast<unsigned>(cause));
    return pattern.empty() ? std::string() : FormatOne(pattern, NameOrDefault(file_name));
}

int Report(const std::string& message, unsigned fallback_id, unsigned type, unsigned prompt_id) {
    std::string text = message;
    if (text.empty() && prompt_id) text = LoadFrameworkString(prompt_id);
    if (text.empty()) text = LoadFrameworkString(fallback_id);
    return ShowMessageBox(text, type ? type : MB_OK | MB_ICONEXCLAMATION);
}
} // namespace

std::string FileException::ErrorMessage() const {
    return CauseMessage(kIdsFileCauseBase, cause, file_name);
}

int FileException::ReportError(unsigned type, unsigned prompt_id) const {
    return Report(ErrorMessage(), kIdsFileCauseBase + kGeneric, type, prompt_id);
}

std::string ArchiveException::ErrorMessage() const {
    return CauseMessage(kIdsArchiveCauseBase, cause, file_name);
}

int ArchiveException::ReportError(unsigned type, unsigned prompt_id) const {
    return Report(ErrorMessage(), kIdsArchiveCauseBase + kGeneric, type, prompt_id);
}

} // namespace fw
