#pragma once
// Macro programs on worker threads of their own, optionally writing into a
// tab of the output pane. The program is loaded (and compiled when needed)
// on the UI thread; the worker then runs it.
#include <functional>
#include <future>
#include <string>
#include <vector>

// What the output pane and the main frame provide; the shell fills these.
// A null member means that part is not there (no output tabs, and requests
// made off the UI thread start directly).
struct InterpOutputHooks {
    int (*tab_count)() = nullptr;
    // Nonzero when another thread owns the tab; its document path into path.
    int (*tab_busy)(int tab, char* path, int size) = nullptr;
    // The tab's view, null when it cannot be opened.
    void* (*open_tab)(int tab) = nullptr;
    // Marks the tab as owned by the calling thread (own nonzero) or releases it.
    void (*own_tab)(int tab, int own) = nullptr;
    // Carries fn out on the UI thread (user message 0x470 to the main
    // window) and waits up to 10000 ms; false when it was not carried out.
    bool (*run_on_ui)(const std::function<void()>& fn) = nullptr;
};
void Interp_SetOutputHooks(const InterpOutputHooks* hooks);

// One request: owned by itself once its worker starts (the worker deletes it).
class CInterpCallParams {
public:
    std::string title;
    int flag = 0;
    int id = 0;
    int arg = 0;
    void* view = nullptr;
    std::vector<unsigned char> record; // a copy of the caller's record, empty for none
    int output_tab = -1;
    void* output_view = nullptr;

    // Loads the program and starts the worker; the worker's result (the
    // program's result word, -1 when it could not run), or an invalid future
    // when nothing started (the request is then still the caller's).
    std::shared_future<int> Start();

private:
    void Work(std::promise<int> done);
};

// Starts the program on a worker; an invalid future when nothing started.
std::shared_future<int> CExe_k_cmd_ExecuteInThread(const char* title, int flag, int id, int arg, void* view,
                                                   const void* record, int output_tab);

// The bytes of a caller's record that a worker's copy takes (its real size
// by its tag), 0 when the record is unknown. Records with texts of their
// own are deep-copied by Interp_CopyRecord.
size_t Interp_RecordSize(const void* record);
// Copies the record into out so that it owns every text it points to;
// false when the record is unknown.
bool Interp_CopyRecord(const void* record, std::vector<unsigned char>& out);
