#pragma once
// Whether a file changed on disk is decided by comparing its size and
// last-write time with what was recorded when the document last read or
// wrote it. Reading that information can block (network drives), so it is
// done on the application's thread pool: GetFileInfoAsync answers from a
// map that pool workers fill, and QueueDocInfoUpdate records a document's
// current disk state after an open or a save.
#include <cstdint>
#include <string>

class CQWDoc;
class ThreadPool;

// The disk state of a file: size (low word), last-write time (two words)
// and the size's high word. kDiskStateNone in `extra` marks "nothing recorded".
struct DocDiskState {
    uint32_t size = 0;
    uint32_t time_low = 0;
    uint32_t time_high = 0;
    uint32_t extra = 0xFFFFFFFFu;
    bool Recorded() const { return extra != 0xFFFFFFFFu; }
    bool SameAs(const DocDiskState& o) const {
        return size == o.size && time_low == o.time_low && time_high == o.time_high && extra == o.extra;
    }
};

// Reads a file's state and its name in the case it has on disk (the whole
// path with the file-name part as stored). 1 on success, 0 when missing.
int ReadDiskState(const char* path, DocDiskState* state, std::string* true_case);

// The application's pool (20 workers, 100 queued requests).
ThreadPool* GetAppThreadPool();
// op 1 starts the pool (result: workers running > 0); any other op stops it (1).
int RunThreadPool(int op);

// 1 and the outs filled when an answer for `name` is in (the entry is then
// dropped, so the next call asks afresh); else 0, with a query queued when
// none is outstanding.
int GetFileInfoAsync(const char* name, DocDiskState* state, std::string* true_case, int* exists);
void RemoveFileInfo(const char* name);
void ClearFileInfoMap();

// Queues the recording of the document's current disk state. The worker
// touches the document only under the engine's lock and only while the
// document still owns a buffer of the same name, so a document closed in
// the meantime is skipped.
void QueueDocInfoUpdate(CQWDoc* doc);
// Waits until every queued query and update has run; 1, or 0 on time-out.
int WaitFileInfoIdle(unsigned timeout_ms);
