#pragma once
// Edit and view mode, the unlocking of files while the user works in
// another application and their relocking, and reload from disk. The
// members live on CQWDoc (qwdoc.h); these are the batch calls of the main
// frame's activation handling.
#include <cstdint>

class CQWDoc;

// Per-call record: mode 1 only `doc`, 2 documents whose path has
// `extension`, any other value all editor documents.
struct DocBatchOptions {
    int mode;
    int continue_after_failure;
    const char* extension;
    int include_unnamed;
};

int SaveEditedDocuments(const DocBatchOptions& options, CQWDoc* doc);
int UnlockDocuments(const DocBatchOptions& options, CQWDoc* doc);
// The application is active again: relock and refresh unlocked documents
// on a 250 ms timer of the UI thread for at most 30000 ms.
void StartRelockTimer(int forced);
void StopRelockTimer();
// One timer step (the timer calls it; tests may too): the number of
// documents still waiting.
int RelockTick();
// The "Try to make r/o files editable" setting (default on).
void SetTryMakeEditable(int on);
