#pragma once
// The document read thread: files are read into their buffers lazily, so
// one background thread reads the rest of every partly read document, one
// block per document per pass, and tells the document's views through the
// deferred-update message.
struct VMB;

enum : unsigned {
    WM_QW_VIEW_DEFERRED = 0x478,  // wParam 1, lParam the OnUpdate hint
};
enum : int {
    DOC_HINT_MORE_LINES = 10,
};

// op 1 starts the thread (and installs the engine's end-of-file notice),
// 0 stops it (waits 2000 ms, then ends it), -1 asks it to pause while the
// user works. Non-zero when a thread exists.
int StartDocReadThread(int op);
// The engine's end-of-file notice: the owning document's views hear hint 10.
void PostBufferUpdateToViews(VMB* buffer);
// A document let go of its buffer: the thread abandons its current pass.
void NoteDocBufferReleased();
