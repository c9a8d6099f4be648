#pragma once
// OLE drag and drop of text between views and with other programs: the data
// object a drag offers (the standard text format and the private format
// with its style header), the drop source, the drop target each edit view
// registers, and the process-wide drag state.
#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

class CQWDoc;
class CQWEditView;

// The drag state of the process: the view a drag started from (none
// outside a drag), whether a drop is being handled in this process (and
// into which document), and the view that shows drop feedback.
struct DragState {
    CQWEditView* source = nullptr;
    bool drop_handled = false;
    CQWEditView* feedback = nullptr;
    CQWDoc* drop_document = nullptr; // where the last drop handled here put the text
    UINT start_message = 0; // WM_LBUTTONDOWN or WM_RBUTTONDOWN
};
DragState& TheDragState();

// A data object holding a block of text of a style (0 stream, 1 line,
// 2 column). The private format's header is written when the data is
// asked for: its how field is 1 while no drop is being handled in this
// process, else 0. Reference count starts at 1.
IDataObject* MakeTextDataObject(const std::string& text, int style);
// The drop source of a drag started with a mouse button (MK_LBUTTON or
// MK_RBUTTON). Reference count starts at 1.
IDropSource* MakeDropSource(DWORD button);
// The drop target of an edit view; registered by the view for its window.
IDropTarget* MakeViewDropTarget(CQWEditView* view);
// Cuts a drop target off its view (a drag may still hold it) and releases it.
void ReleaseViewDropTarget(IDropTarget* target);

// Reads text from a data object: the private format when offered (its
// header gives the style), else the standard text (style 0). False when
// neither is there.
bool ReadDataObjectText(IDataObject* data, std::string* text, int* style);
bool DataObjectHasText(IDataObject* data);
bool DataObjectHasFiles(IDataObject* data);
// The paths of a file drop (CF_HDROP), in order.
bool ReadDataObjectFiles(IDataObject* data, std::vector<std::string>* paths);

// The effect the key state asks for: Ctrl and Shift together none, Ctrl
// copy, else move.
DWORD DropEffectFromKeys(DWORD key_state);

// Drop-target auto-scroll: the pointer must stay in a scroll zone this
// long before the first step, and steps follow at this interval.
constexpr DWORD kDragScrollDelayMs = DD_DEFSCROLLDELAY;
constexpr DWORD kDragScrollIntervalMs = DD_DEFSCROLLINTERVAL;
