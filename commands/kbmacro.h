#pragma once
// Keyboard macros: while recording is on, every command identifier and
// parameter text that the sequence runner runs is appended to the macro;
// playing runs it again as one sequence. Macros are kept by name in the list
// buffer "Buffer m", one line each: the name, a tab and the macro's text
// (command names, quoted typed text and "param=" items; see cmdseq.h).
#include <cstdint>
#include <string>
#include <vector>

#include "commands/cmdtable.h"

struct VMB;

// GetMacroState bits.
enum : int { K_MACRO_RECORDING = 1, K_MACRO_PLAYING = 2 };

class CMacroMgr {
public:
    static constexpr const char* kListName = "Buffer m";
    static constexpr const char* kLastName = "## last recorded ##";

    bool IsRecording() const { return recording_; }
    bool IsPlaying() const { return playing_; }
    const std::string& Name() const { return name_; }
    const std::string& Text() const { return text_; }
    // The identifiers, -1-terminated once recording has stopped.
    const std::vector<int32_t>& Ids() const { return ids_; }

    void StartRecording();
    void Record(int id);
    void RecordText(const char* text);
    void StopRecording();
    // -1 when it stopped a recording, 0 with nothing to play, else 1.
    int Play();
    // Builds the text form of the identifiers into Text().
    const std::string& BuildText();
    void SaveAsLast();
    bool LoadByName(const char* name);
    bool LoadCurrent();
    // Reads a line of "Buffer m"; the name goes to *name.
    bool LoadLine(int line, std::string* name);
    void MarkCurrent();
    void Clear();

private:
    VMB* list(bool create);
    int line_of(const char* name);

    std::string name_;
    std::string text_;
    bool recording_ = false;
    bool playing_ = false;
    std::vector<int32_t> ids_;
};

CMacroMgr* GetMacroManager();
int GetMacroState();

// Handlers: K_MacroRecord (554), K_MacroPlay (555), K_MacroManager (556).
int K_MacroRecord_cmd(int id, K_cmd_params* params);
int PlayMacro(int id, K_cmd_params* params);
int K_MacroManager_cmd(int id, K_cmd_params* params);

// Binds the key and macro handlers to their command slots, the recording
// state to K_MacroRecord's check mark and the interpreter's key natives to
// the binding tables. Once at start-up.
void K_cmd_keys_install();
