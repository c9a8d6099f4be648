#pragma once
// The main frame's caption: project, current document with its state, the
// focused output tab, the program's title and version.
#include <windows.h>

#include <cstdint>
#include <string>

struct QwCaptionParts {
    std::string project;          // empty: no project open
    bool project_modified = false;
    std::string document;         // the document part (DocumentCaptionPart), empty: none
    std::string output_tab;       // label of the focused output tab, empty: none
    std::string title = "Quedra"; // the frame's own title
    bool has_version = false;
    uint32_t version_high = 0, version_low = 0;
};

std::string BuildFrameCaption(const QwCaptionParts& parts);

enum : int { QW_COMPARE_NONE = 0, QW_COMPARE_NEWER = 1, QW_COMPARE_OLDER = 2 };

// The document part: its (already shortened) path or title, ":n" for a
// window number above 0, " *" when modified, " [view] " when view-only, the
// comparison side and the file's date text.
std::string DocumentCaptionPart(const std::string& name, int window_number, bool modified, bool view_only,
                                int compare_side, const std::string& date_text);

// A long path shortened with an ellipsis to what the caption of `frame` has
// room for, measured in the caption font.
std::string CompactPathForCaption(HWND frame, const std::string& path);
