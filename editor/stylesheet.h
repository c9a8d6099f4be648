#pragma once
// Style sheets: per kind of file, its language (and specification), the file
// names and extensions it applies to, tab and indent widths and the other
// display and editing settings. The application holds them all in one
// CStyleSheet_Array kept in the style-sheet file (a framework archive:
// magic 1172, a count, then each sheet as written by CStyleSheet::Serialize).
//
// Interpreter programs read the members in place, so their order and widths
// below are fixed; members are numbered as the file format numbers them.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/fwobject.h"

namespace fw {
class Archive;
}
struct VMB;

enum : int32_t {
    SS_MAGIC = 1172,
    SS_VERSION_OLDEST = 25451,
    SS_VERSION_NO_LOOKUP = 25452,   // older than this lacks members 33, 83, 84
    SS_VERSION = 25453,
    SS_DEFAULT_TAB = 8,
    SS_DEFAULT_INDENT = 8,          // what an indent size out of range counts as
    SS_LANGUAGE_UNRESOLVED = -2,
};

// Indexes of the flag array (members 65 to 80).
enum : int {
    SSF_FIXED_FORMAT = 0,     // 65
    SSF_COMMENTS_AT_RIGHT,    // 66
    SSF_AUTO_INDENT,          // 67
    SSF_TAB_KEY_USE,          // 68
    SSF_VIRTUAL_FILLER,       // 69
    SSF_SMART_INDENT,         // 70
    SSF_STRIP_TRAILING,       // 71
    SSF_TEMPLATE_EDITING,     // 72
    SSF_TEMPLATE_ON_SPACE,    // 73
    SSF_AUTO_CASE,            // 74
    SSF_CASE_ON_SYMBOL,       // 75
    SSF_BLOCK_COMPLETION,     // 76
    SSF_SMARTYPE_ON_SPACE,    // 77
    SSF_AUTOCORRECT_ON_SPACE, // 78
    SSF_WORD_WRAP,            // 79
    SSF_LAST_CHANGE_STAMP,    // 80
    SSF_COUNT
};

class CStyleSheet : public fw::Object {
    FW_DECLARE_DYNAMIC(CStyleSheet)
public:
    // A new sheet for a language id (the "new" column of the member table).
    CStyleSheet(const std::string& name, const std::string& extensions, int language);
    // A copy of `source` under a new name: every member but the name, text
    // settings 13 to 18 and the reserved words 40 to 42.
    CStyleSheet(const CStyleSheet& source, const std::string& name);
    // An empty sheet for reading from the file.
    CStyleSheet();
    ~CStyleSheet() override;
    CStyleSheet& operator=(const CStyleSheet&) = delete;

    // Reads or writes the sheet in the file's format (throws the archive's
    // exceptions; a version it cannot read is fw::ArchiveException kBadSchema).
    virtual void Serialize(fw::Archive& ar);

    // The language index in force after checking that the language exists
    // and its flavour has a dictionary; report: show the corrections.
    int ValidateLanguage(int report, const char* document_name);
    // Each copied when its pointer is given.
    void GetNames(std::string* name, std::string* extensions, std::string* language,
                  std::string* flavour) const;
    int GetAssociated() const { return m_Associated; }
    void SetAssociated(int value) { m_Associated = value; }
    // The tab width the views use: 1..100, else 8.
    int GetTabWidth() const;
    // Stores 1..100, anything else as 8.
    void SetTabWidth(int width);
    // The indent step: 1..120, else 8 (never 0: it divides).
    int GetIndentSize() const;
    // op 1 sets, 0 clears, other values only test; the bit's state.
    int BracketFlag(uint32_t bit, int op);
    // -1 only reads, 1 sets 1, other values set 0; returns the value.
    int ExtraSwitch(int op);
    // Text settings 7 to 11 (n 7..11): get copies at most size - 1
    // characters into out and returns out; set stores.
    char* GetTextSetting(int n, char* out, int size) const;
    void SetTextSetting(int n, const char* text);

    // ---- Members, in their fixed order (number in the comment) ----
    std::string m_SSName;            // 1
    std::string m_Extensions;        // 2
    std::string m_LanguageName;      // 3
    std::string m_Flavour;           // 4
    std::string m_WordDelimiters;    // 5 (caret notation)
    std::string m_TextSettings[17];  // 6..22: text settings 2 to 18
    int32_t m_LanguageIndex;         // 23 (not stored)
    int32_t m_IndentSize;            // 24
    int32_t m_TabSize;               // 25
    int32_t m_AutoIndentHow;         // 26
    int32_t m_AutoIndentScan;        // 27
    int32_t m_TemplateTrigger;       // 28
    int32_t m_AutocorrectTrigger;    // 29
    int32_t m_SmartypeTrigger;       // 30
    int32_t m_RightMargin;           // 31
    int32_t m_CommentColumn;         // 32
    int32_t m_SDBLookupTrigger;      // 33
    int32_t m_Reserved34[5];         // 34..38
    uint32_t m_BracketFlags;         // 39
    int32_t m_Reserved40[3];         // 40..42
    uint32_t m_LanguageOptions;      // 43
    int32_t m_Reserved44[19];        // 44..62
    int32_t m_Associated;            // 63
    int32_t m_SyntaxColouring;       // 64
    int32_t m_Flags[SSF_COUNT];      // 65..80
    int32_t m_ExtraSwitch;           // 81
    int32_t m_CaseTracksFirst;       // 82
    int32_t m_SDBLookupOnSpace;      // 83
    int32_t m_ParamAssistOnEdit;     // 84
    int32_t m_Reserved85[19];        // 85..103

private:
    void SetNewDefaults(int language);
};

class CStyleSheet_Array : public fw::Object {
    FW_DECLARE_DYNAMIC(CStyleSheet_Array)
public:
    explicit CStyleSheet_Array(const std::string& path);
    ~CStyleSheet_Array() override;
    CStyleSheet_Array(const CStyleSheet_Array&) = delete;
    CStyleSheet_Array& operator=(const CStyleSheet_Array&) = delete;

    // Reads the file; 1 on success. A missing file and an unreadable one
    // are reported; a damaged one keeps the sheets read so far, is reported
    // and from then on never written over.
    int Load();
    // Writes the file; 1 on success.
    int Save();
    void SerializeElements(fw::Archive& ar);
    void Clear();

    int GetSize() const { return static_cast<int>(m_Sheets.size()); }
    CStyleSheet* GetAt(int i) const;
    const std::string& GetPath() const { return m_Path; }
    // True after a load found the file damaged.
    bool IsDamaged() const { return m_Damaged; }

    CStyleSheet* FindByName(const char* name, const char* text, int filter,
                            const CStyleSheet* excluded) const;
    CStyleSheet* GetDefault(std::string* name_out);
    CStyleSheet* AddStyleSheet(const std::string& name, const std::string& extensions, int language);
    CStyleSheet* AddDefaultRow(const char* name, const char* extensions, int language,
                               int associated, int fixed_format);
    CStyleSheet* MakeUniqueName(const CStyleSheet& source, const std::string& name);
    int Remove(CStyleSheet* sheet);
    CStyleSheet* FindByLanguageSpec(const char* language, const char* flavour) const;
    int RenameLanguageSpec(const char* language, const char* flavour, const char* new_language,
                           const char* new_flavour);
    // The first other associated sheet that lists an item of the sheet's
    // extensions; null when none.
    CStyleSheet* FindExtensionConflict(const CStyleSheet* sheet, std::string* other_name,
                                       std::string* extension) const;
    void ResetLanguages();

private:
    std::string m_Path;
    std::vector<CStyleSheet*> m_Sheets;
    bool m_Damaged = false;
};

// ---- The application's array ----------------------------------------------
int CreateStyleSheetArray(const char* path);
CStyleSheet_Array* GetStyleSheetArray();
void DestroyStyleSheetArray();
// Adds the default rows of a language (-1: all) that are missing, then saves.
void AddDefaultStyleSheets(int language);
// The number of rows of the built-in default table, and row i.
int GetDefaultStyleSheetCount();
void GetDefaultStyleSheetRow(int i, const char** name, const char** extensions, int* language,
                             int* associated, int* fixed_format);

CStyleSheet* FindStyleSheetForFile(const char* path);
int GetLanguageForFile(const char* path);
int StyleSheetExists(const char* name);
// Fills a list buffer with the sheets passing the filter; the sheet count.
int FillStyleSheetList(VMB* list, unsigned flags, int filter);

// Extension lists: the next item at *pos (see the .cpp); its length, 0 or -1.
int NextListItem(std::string* item, const std::string& text, size_t* pos);
// "*.c;*.cpp;..." from "c cpp ...".
std::string BuildExtensionFilter(const std::string& extensions);

// Connects the language layer's reset to the style sheets (drop or reload).
void StyleSheetsLanguageReset(unsigned flags);
