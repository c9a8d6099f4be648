// Style sheets, their array and the style-sheet file.
#include "editor/stylesheet.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "editor/langdict.h"
#include "editor/langspec.h"
#include "framework/fwarchive.h"
#include "framework/fwfile.h"
#include "opsys/msgout.h"
#include "opsys/paths.h"
#include "opsys/strlib.h"
#include "VmEngine/vm.h"

FW_IMPLEMENT_DYNAMIC(CStyleSheet, fw::Object)
FW_IMPLEMENT_DYNAMIC(CStyleSheet_Array, fw::Object)

namespace {

enum : unsigned {
    IDS_SS_CAPTION = 1078,        // "Document Style Sheet Error"
    IDS_SS_BAD_LANGUAGE = 1079,
    IDS_SS_NO_FLAVOUR = 1080,
    QW_MB_ICONEXCLAMATION = 0x30,
};

const char* const kDefaultName = "Default";

struct DefaultRow {
    const char* name;
    const char* extensions;
    int language;
    int associated;
    int fixed_format;
};

const DefaultRow kDefaultRows[] = {
    {"Ada", "ada adb ads", 0, 1, 0},
    {"Assembler (Hitec)", "asm", 1, 0, 0},
    {"Assembler (MicroTec)", "asm", 1, 1, 0},
    {"Assembler (TMS320)", "asm", 1, 0, 0},
    {"Batch files", "bat", 3, 1, 0},
    {"C/C++", "c cpp h inl cxx", 4, 1, 0},
    {"Cicode", "ci", 5, 1, 0},
    {"Clipper 5", "prg ch", 6, 1, 0},
    {"Clipper S87", "prg ch", 7, 0, 0},
    {"Cobol", "cbl cpy", 8, 1, 1},
    {"Dataflex", "frd frm pkg src", 9, 1, 0},
    {"Delphi", "pas", 23, 1, 0},
    {"Eiffel", "e", 11, 1, 0},
    {"Forth", "fth", 12, 1, 0},
    {"Fortran", "for", 13, 1, 1},
    {"Fortran 90", "f90", 13, 1, 0},
    {"HTML", "html htm", 15, 1, 0},
    {"Java", "java jav", 16, 1, 0},
    {"Limbo", "m", 17, 0, 0},
    {"Lisp", "lsp", 18, 1, 0},
    {"Matlab", "m", 19, 1, 0},
    {"Modula 2", "mod", 20, 1, 0},
    {"Pascal", "pas", 23, 0, 0},
    {"Perl", "pl", 24, 1, 0},
    {"PHP", "php php3 inc", 25, 1, 0},
    {"PL/1", "pli", 26, 1, 0},
    {"Powerflex", "pfx", 9, 1, 0},
    {"Progress", "p i pp w", 27, 1, 0},
    {"Prolog", "plg", 28, 1, 0},
    {"Resource Scripts", "rc", 4, 1, 0},
    {"Rexx", "rex", 29, 1, 0},
    {"Ruby", "rb", 30, 1, 0},
    {"Smalltalk", "smt st", 31, 1, 0},
    {"SQL", "sql", 32, 1, 0},
    {"Text files", "txt", 33, 1, 0},
    {"Verilog", "vlg", 34, 1, 0},
    {"VHDL", "vhdl vhd", 35, 1, 0},
    {"Windows .INI", "ini", 36, 1, 0},
};

std::unique_ptr<CStyleSheet_Array> g_array;

std::string app_text(unsigned id) {
    char buf[1024];
    return LoadAppString(id, buf, sizeof buf) ? std::string(buf) : std::string();
}

bool is_separator(char c) { return c == ' ' || c == ',' || c == '\t'; }

template <class T>
void words(fw::Archive& ar, T* first, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (ar.IsStoring())
            ar << static_cast<int32_t>(first[i]);
        else {
            int32_t v;
            ar >> v;
            first[i] = static_cast<T>(v);
        }
    }
}

void strings(fw::Archive& ar, std::string* first, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (ar.IsStoring())
            ar << first[i];
        else
            ar >> first[i];
    }
}

}  // namespace

// ---- CStyleSheet ------------------------------------------------------------

CStyleSheet::CStyleSheet() { SetNewDefaults(LANG_NONE); }

CStyleSheet::CStyleSheet(const std::string& name, const std::string& extensions, int language) {
    SetNewDefaults(language);
    m_SSName = name;
    m_Extensions = extensions;
}

CStyleSheet::CStyleSheet(const CStyleSheet& source, const std::string& name) : fw::Object() {
    m_SSName = name;
    m_Extensions = source.m_Extensions;
    m_LanguageName = source.m_LanguageName;
    m_Flavour = source.m_Flavour;
    m_WordDelimiters = source.m_WordDelimiters;
    for (int i = 0; i < 11; ++i) m_TextSettings[i] = source.m_TextSettings[i];
    m_LanguageIndex = source.m_LanguageIndex;
    m_IndentSize = source.m_IndentSize;
    m_TabSize = source.m_TabSize;
    m_AutoIndentHow = source.m_AutoIndentHow;
    m_AutoIndentScan = source.m_AutoIndentScan;
    m_TemplateTrigger = source.m_TemplateTrigger;
    m_AutocorrectTrigger = source.m_AutocorrectTrigger;
    m_SmartypeTrigger = source.m_SmartypeTrigger;
    m_RightMargin = source.m_RightMargin;
    m_CommentColumn = source.m_CommentColumn;
    m_SDBLookupTrigger = source.m_SDBLookupTrigger;
    std::copy(std::begin(source.m_Reserved34), std::end(source.m_Reserved34), m_Reserved34);
    m_BracketFlags = source.m_BracketFlags;
    std::fill(std::begin(m_Reserved40), std::end(m_Reserved40), 0);
    m_LanguageOptions = source.m_LanguageOptions;
    std::copy(std::begin(source.m_Reserved44), std::end(source.m_Reserved44), m_Reserved44);
    m_Associated = source.m_Associated;
    m_SyntaxColouring = source.m_SyntaxColouring;
    std::copy(std::begin(source.m_Flags), std::end(source.m_Flags), m_Flags);
    m_ExtraSwitch = source.m_ExtraSwitch;
    m_CaseTracksFirst = source.m_CaseTracksFirst;
    m_SDBLookupOnSpace = source.m_SDBLookupOnSpace;
    m_ParamAssistOnEdit = source.m_ParamAssistOnEdit;
    std::copy(std::begin(source.m_Reserved85), std::end(source.m_Reserved85), m_Reserved85);
}

CStyleSheet::~CStyleSheet() = default;

void CStyleSheet::SetNewDefaults(int language) {
    m_LanguageName = LanguageDisplayName(language);
    m_Flavour.clear();
    m_WordDelimiters = ". ,=([^I:>-";
    for (std::string& t : m_TextSettings) t.clear();
    m_LanguageIndex = SS_LANGUAGE_UNRESOLVED;
    m_IndentSize = 4;
    m_TabSize = 8;
    m_AutoIndentHow = 2;
    m_AutoIndentScan = 10;
    m_TemplateTrigger = 2;
    m_AutocorrectTrigger = 3;
    m_SmartypeTrigger = 2;
    m_RightMargin = 80;
    m_CommentColumn = 79;
    m_SDBLookupTrigger = 3;
    std::fill(std::begin(m_Reserved34), std::end(m_Reserved34), 0);
    m_BracketFlags = 1;
    std::fill(std::begin(m_Reserved40), std::end(m_Reserved40), 0);
    m_LanguageOptions = 0;
    std::fill(std::begin(m_Reserved44), std::end(m_Reserved44), 0);
    m_Associated = 0;
    m_SyntaxColouring = 1;
    static const int32_t flags[SSF_COUNT] = {0, 1, 1, 0, 0, 1, 1, 1, 1, 0, 0, 1, 1, 1, 0, 1};
    std::copy(std::begin(flags), std::end(flags), m_Flags);
    m_ExtraSwitch = 0;
    m_CaseTracksFirst = 1;
    m_SDBLookupOnSpace = 1;
    m_ParamAssistOnEdit = 1;
    std::fill(std::begin(m_Reserved85), std::end(m_Reserved85), 0);
}

void CStyleSheet::Serialize(fw::Archive& ar) {
    int32_t version = SS_VERSION;
    if (ar.IsStoring()) {
        ar << version << m_Associated;
    } else {
        ar >> version;
        if (version < SS_VERSION_OLDEST || version > SS_VERSION)
            throw fw::ArchiveException(fw::ArchiveException::kBadSchema);
        ar >> m_Associated;
    }
    // Strings: members 1-5 and text settings 2-6 in every version; text
    // settings 7-12 and member 81 from 25452 on; text settings 13-18 always.
    std::string* head[5] = {&m_SSName, &m_Extensions, &m_LanguageName, &m_Flavour, &m_WordDelimiters};
    for (std::string* s : head) strings(ar, s, 1);
    strings(ar, m_TextSettings, 5);
    if (version >= SS_VERSION_NO_LOOKUP) {
        strings(ar, m_TextSettings + 5, 3);
        words(ar, &m_ExtraSwitch, 1);
        strings(ar, m_TextSettings + 8, 3);
    }
    strings(ar, m_TextSettings + 11, 6);
    int32_t* w24[] = {&m_IndentSize, &m_TabSize, &m_AutoIndentHow, &m_AutoIndentScan, &m_TemplateTrigger,
                      &m_AutocorrectTrigger, &m_SmartypeTrigger, &m_RightMargin, &m_CommentColumn};
    for (int32_t* w : w24) words(ar, w, 1);
    if (version >= SS_VERSION)
        words(ar, &m_SDBLookupTrigger, 1);
    else
        m_SDBLookupTrigger = 3;
    words(ar, m_Reserved34, 5);
    words(ar, &m_BracketFlags, 1);
    words(ar, m_Reserved40, 3);
    words(ar, &m_LanguageOptions, 1);
    words(ar, m_Reserved44, 19);
    words(ar, &m_SyntaxColouring, 1);
    words(ar, m_Flags, SSF_COUNT);
    words(ar, &m_CaseTracksFirst, 1);
    if (version >= SS_VERSION) {
        words(ar, &m_SDBLookupOnSpace, 1);
        words(ar, &m_ParamAssistOnEdit, 1);
    } else {
        m_SDBLookupOnSpace = 1;
        m_ParamAssistOnEdit = 1;
    }
    words(ar, m_Reserved85, 19);
    if (ar.IsLoading()) m_LanguageIndex = SS_LANGUAGE_UNRESOLVED;
}

int CStyleSheet::ValidateLanguage(int report, const char* document_name) {
    const char* doc = document_name ? document_name : "";
    std::string caption = report ? app_text(IDS_SS_CAPTION) : std::string();
    int language = FindLanguageByName(m_LanguageName.c_str());
    if (language < 0) {
        if (report)
            MsgOut(QW_MSG_BOX | QW_MSG_CAPTION | QW_MSG_ID, caption.c_str(), IDS_SS_BAD_LANGUAGE,
                   m_SSName.c_str(), doc, m_LanguageName.c_str());
        m_LanguageName = LanguageDisplayName(LANG_NONE);
        m_Flavour.clear();
        language = LANG_NONE;
    }
    int index = -1;
    if (FindOrLoadLanguageSpec(&index, language, nullptr, m_Flavour.empty() ? nullptr : m_Flavour.c_str())) {
        m_LanguageIndex = index;
    } else if (FindOrLoadLanguageSpec(&index, language, nullptr, nullptr)) {
        if (report) {
            char formatted[128];
            FormatLanguageSpecName(formatted, sizeof formatted, 0, m_LanguageName.c_str(), m_Flavour.c_str());
            MsgOut(QW_MSG_BOX | QW_MSG_CAPTION | QW_MSG_ID, caption.c_str(), IDS_SS_NO_FLAVOUR,
                   m_SSName.c_str(), doc, m_LanguageName.c_str(), m_Flavour.c_str(), formatted);
        }
        m_LanguageIndex = index;
        m_Flavour.clear();
    } else {
        m_LanguageIndex = -1;
    }
    return m_LanguageIndex;
}

void CStyleSheet::GetNames(std::string* name, std::string* extensions, std::string* language,
                           std::string* flavour) const {
    if (name) *name = m_SSName;
    if (extensions) *extensions = m_Extensions;
    if (language) *language = m_LanguageName;
    if (flavour) *flavour = m_Flavour;
}

int CStyleSheet::GetTabWidth() const {
    return m_TabSize >= 1 && m_TabSize <= 100 ? m_TabSize : SS_DEFAULT_TAB;
}

void CStyleSheet::SetTabWidth(int width) {
    m_TabSize = width >= 1 && width <= 100 ? width : SS_DEFAULT_TAB;
}

int CStyleSheet::GetIndentSize() const {
    return m_IndentSize >= 1 && m_IndentSize <= 120 ? m_IndentSize : SS_DEFAULT_INDENT;
}

int CStyleSheet::BracketFlag(uint32_t bit, int op) {
    if (op == 1)
        m_BracketFlags |= bit;
    else if (op == 0)
        m_BracketFlags &= ~bit;
    return (m_BracketFlags & bit) ? 1 : 0;
}

int CStyleSheet::ExtraSwitch(int op) {
    if (op != -1) m_ExtraSwitch = op == 1 ? 1 : 0;
    return m_ExtraSwitch;
}

char* CStyleSheet::GetTextSetting(int n, char* out, int size) const {
    if (!out || size <= 0) return out;
    out[0] = '\0';
    if (n >= 7 && n <= 11) CopyStringBounded(out, m_TextSettings[n - 2].c_str(), static_cast<size_t>(size - 1));
    return out;
}

void CStyleSheet::SetTextSetting(int n, const char* text) {
    if (n >= 7 && n <= 11) m_TextSettings[n - 2] = text ? text : "";
}

// ---- CStyleSheet_Array ------------------------------------------------------

CStyleSheet_Array::CStyleSheet_Array(const std::string& path) : m_Path(path) {}

CStyleSheet_Array::~CStyleSheet_Array() { Clear(); }

void CStyleSheet_Array::Clear() {
    for (CStyleSheet* s : m_Sheets) delete s;
    m_Sheets.clear();
}

CStyleSheet* CStyleSheet_Array::GetAt(int i) const {
    return i >= 0 && i < GetSize() ? m_Sheets[static_cast<size_t>(i)] : nullptr;
}

void CStyleSheet_Array::SerializeElements(fw::Archive& ar) {
    if (ar.IsStoring()) {
        int32_t count = 0;
        for (const CStyleSheet* s : m_Sheets) count += s->m_SSName.empty() ? 0 : 1;
        ar << static_cast<int32_t>(SS_MAGIC) << count;
        for (CStyleSheet* s : m_Sheets)
            if (!s->m_SSName.empty()) s->Serialize(ar);
        return;
    }
    int32_t magic = 0, count = 0;
    ar >> magic;
    if (magic != SS_MAGIC) throw fw::ArchiveException(fw::ArchiveException::kBadSchema);
    ar >> count;
    for (int32_t i = 0; i < count; ++i) {
        auto sheet = std::make_unique<CStyleSheet>();
        sheet->Serialize(ar);
        m_Sheets.push_back(sheet.release());
    }
}

int CStyleSheet_Array::Load() {
    Clear();
    m_Damaged = false;
    fw::File file;
    fw::FileException error;
    if (!file.Open(m_Path, fw::File::kRead | fw::File::kShareDenyWrite, &error)) {
        if (error.cause == fw::FileException::kFileNotFound) {
            MsgOut(QW_MSG_BOX | QW_MSG_LOG,
                   "QW Style Sheet file: %s not found, using defaults.\n\nYou should restore it from a "
                   "backup or copy the Master .xxx file.",
                   m_Path.c_str());
        } else {
            // A file that is there but cannot be read must not be replaced by defaults.
            m_Damaged = true;
            error.ReportError(QW_MB_ICONEXCLAMATION, fw::kIdsFailedToOpenDocument);
            MsgOut(QW_MSG_LOG | QW_MSG_OUTPUT, "Unable to access QW Style Sheet file: %s. Exception cause: %d",
                   m_Path.c_str(), error.cause);
        }
        return 0;
    }
    try {
        fw::Archive ar(file, fw::Archive::kLoad, 4096);
        SerializeElements(ar);
        return 1;
    } catch (const std::exception&) {
        m_Damaged = true;
    }
    MsgOut(QW_MSG_BOX | QW_MSG_LOG,
           "QW Style Sheet file: %s is damaged; the %d style sheets before the damage were read. "
           "The file is left as it is and changes to style sheets are not saved.\n\nYou should "
           "restore it from a backup or copy the Master .xxx file.",
           m_Path.c_str(), GetSize());
    return 0;
}

int CStyleSheet_Array::Save() {
    if (m_Damaged) {
        MsgOut(QW_MSG_LOG, "QW Style Sheet file: %s was damaged when read; it is not written over.",
               m_Path.c_str());
        return 0;
    }
    fw::File file;
    fw::FileException error;
    if (!file.Open(m_Path, fw::File::kCreate | fw::File::kWrite | fw::File::kShareDenyWrite, &error)) {
        error.ReportError(QW_MB_ICONEXCLAMATION, fw::kIdsFailedToSaveDocument);
        MsgOut(QW_MSG_LOG | QW_MSG_OUTPUT, "Unable to create QW Style Sheet file: %s. Exception cause: %d",
               m_Path.c_str(), error.cause);
        return 0;
    }
    try {
        fw::Archive ar(file, fw::Archive::kStore, 4096);
        SerializeElements(ar);
        ar.Close();
        file.Close();
        return 1;
    } catch (const fw::FileException& e) {
        e.ReportError(QW_MB_ICONEXCLAMATION, fw::kIdsFailedToSaveDocument);
        MsgOut(QW_MSG_LOG | QW_MSG_OUTPUT, "Unable to create QW Style Sheet file: %s. Exception cause: %d",
               m_Path.c_str(), e.cause);
    } catch (const std::exception&) {
        MsgOut(QW_MSG_LOG | QW_MSG_OUTPUT, "Unable to create QW Style Sheet file: %s. Exception cause: %d",
               m_Path.c_str(), 1);
    }
    file.Abort();
    return 0;
}

CStyleSheet* CStyleSheet_Array::FindByName(const char* name, const char* text, int filter,
                                           const CStyleSheet* excluded) const {
    for (CStyleSheet* s : m_Sheets) {
        if (s == excluded || (filter != -1 && s->m_Associated != filter)) continue;
        if (name) {
            if (name[0] && StrEqualNoCase(s->m_SSName.c_str(), name)) return s;
            continue;
        }
        if (StrEqualNoCase(s->m_SSName.c_str(), kDefaultName)) continue;
        if (!text || !text[0]) {
            if (s->m_Extensions.empty()) return s;
            continue;
        }
        std::string item;
        for (size_t i = 0; i <= s->m_Extensions.size(); ++i) {
            char c = i < s->m_Extensions.size() ? s->m_Extensions[i] : ' ';
            if (is_separator(c)) {
                if (!item.empty() && StrEqualNoCase(item.c_str(), text)) return s;
                item.clear();
            } else {
                item.push_back(c);
            }
        }
    }
    return nullptr;
}

CStyleSheet* CStyleSheet_Array::AddStyleSheet(const std::string& name, const std::string& extensions,
                                              int language) {
    m_Sheets.push_back(new CStyleSheet(name, extensions, language));
    return m_Sheets.back();
}

CStyleSheet* CStyleSheet_Array::AddDefaultRow(const char* name, const char* extensions, int language,
                                              int associated, int fixed_format) {
    CStyleSheet* s = AddStyleSheet(name, extensions, language);
    s->m_Associated = associated;
    s->m_Flags[SSF_FIXED_FORMAT] = fixed_format;
    s->m_Flags[SSF_LAST_CHANGE_STAMP] = 0;
    return s;
}

CStyleSheet* CStyleSheet_Array::GetDefault(std::string* name_out) {
    CStyleSheet* s = FindByName(kDefaultName, nullptr, -1, nullptr);
    if (!s) {
        s = AddStyleSheet(kDefaultName, "", LANG_NONE);
        s->m_Flags[SSF_AUTO_INDENT] = 0;
        s->m_Flags[SSF_SMART_INDENT] = 0;
        s->m_Flags[SSF_TEMPLATE_EDITING] = 0;
    }
    s->m_Extensions.clear();
    s->m_Associated = 1;
    if (name_out) *name_out = kDefaultName;
    Save();
    return s;
}

CStyleSheet* CStyleSheet_Array::MakeUniqueName(const CStyleSheet& source, const std::string& name) {
    std::string unique = name;
    while (FindByName(unique.c_str(), nullptr, -1, nullptr)) {
        size_t open = unique.rfind('(');
        bool numbered = !unique.empty() && unique.back() == ')' && open != std::string::npos &&
                        open + 2 < unique.size() &&
                        StrIsDigits(unique.substr(open + 1, unique.size() - open - 2).c_str());
        if (numbered) {
            int n = std::stoi(unique.substr(open + 1, unique.size() - open - 2));
            unique = unique.substr(0, open + 1) + std::to_string(n + 1) + ")";
        } else {
            unique += " (1)";
        }
    }
    CStyleSheet* copy = new CStyleSheet(source, unique);
    copy->m_Associated = 0;
    m_Sheets.push_back(copy);
    return copy;
}

int CStyleSheet_Array::Remove(CStyleSheet* sheet) {
    auto it = std::find(m_Sheets.begin(), m_Sheets.end(), sheet);
    if (it == m_Sheets.end()) return 0;
    delete *it;
    m_Sheets.erase(it);
    return 1;
}

CStyleSheet* CStyleSheet_Array::FindByLanguageSpec(const char* language, const char* flavour) const {
    for (CStyleSheet* s : m_Sheets)
        if (StrEqualNoCase(s->m_LanguageName.c_str(), language ? language : "") &&
            StrEqualNoCase(s->m_Flavour.c_str(), flavour ? flavour : ""))
            return s;
    return nullptr;
}

int CStyleSheet_Array::RenameLanguageSpec(const char* language, const char* flavour,
                                          const char* new_language, const char* new_flavour) {
    int n = 0;
    for (CStyleSheet* s : m_Sheets) {
        if (!StrEqualNoCase(s->m_LanguageName.c_str(), language ? language : "") ||
            !StrEqualNoCase(s->m_Flavour.c_str(), flavour ? flavour : ""))
            continue;
        s->m_LanguageName = new_language ? new_language : "";
        s->m_Flavour = new_flavour ? new_flavour : "";
        s->m_LanguageIndex = SS_LANGUAGE_UNRESOLVED;
        ++n;
    }
    return n;
}

CStyleSheet* CStyleSheet_Array::FindExtensionConflict(const CStyleSheet* sheet, std::string* other_name,
                                                      std::string* extension) const {
    if (!sheet || StrEqualNoCase(sheet->m_SSName.c_str(), kDefaultName)) return nullptr;
    size_t pos = 0;
    std::string item;
    while (NextListItem(&item, sheet->m_Extensions, &pos) > 0) {
        if (CStyleSheet* other = FindByName(nullptr, item.c_str(), 1, sheet)) {
            if (other_name) *other_name = other->m_SSName;
            if (extension) *extension = item;
            return other;
        }
    }
    return nullptr;
}

void CStyleSheet_Array::ResetLanguages() {
    for (CStyleSheet* s : m_Sheets) s->m_LanguageIndex = SS_LANGUAGE_UNRESOLVED;
}

// ---- The application's array ------------------------------------------------

int GetDefaultStyleSheetCount() { return static_cast<int>(std::size(kDefaultRows)); }

void GetDefaultStyleSheetRow(int i, const char** name, const char** extensions, int* language,
                             int* associated, int* fixed_format) {
    if (i < 0 || i >= GetDefaultStyleSheetCount()) return;
    const DefaultRow& r = kDefaultRows[i];
    if (name) *name = r.name;
    if (extensions) *extensions = r.extensions;
    if (language) *language = r.language;
    if (associated) *associated = r.associated;
    if (fixed_format) *fixed_format = r.fixed_format;
}

namespace {
// The rows of a language (-1: all) missing from the array.
void add_missing_rows(CStyleSheet_Array& array, int language) {
    for (const DefaultRow& r : kDefaultRows)
        if ((language == -1 || r.language == language) && !array.FindByName(r.name, nullptr, -1, nullptr))
            array.AddDefaultRow(r.name, r.extensions, r.language, r.associated, r.fixed_format);
}
}  // namespace

int CreateStyleSheetArray(const char* path) {
    ResetLanguageData(0x4);
    g_array = std::make_unique<CStyleSheet_Array>(path ? path : "");
    if (g_array->Load()) return 1;
    if (g_array->IsDamaged()) {
        add_missing_rows(*g_array, -1);
        return 1;
    }
    AddDefaultStyleSheets(-1);
    return 1;
}

CStyleSheet_Array* GetStyleSheetArray() { return g_array.get(); }

void DestroyStyleSheetArray() {
    if (g_array) g_array->Save();
    g_array.reset();
}

void AddDefaultStyleSheets(int language) {
    if (!g_array) return;
    add_missing_rows(*g_array, language);
    g_array->Save();
}

void StyleSheetsLanguageReset(unsigned flags) {
    if (!g_array) return;
    if (flags & 0x1) g_array->ResetLanguages();
    if (flags & 0x2) {
        if (!g_array->Load() && g_array->IsDamaged())
            add_missing_rows(*g_array, -1);
        else if (g_array->GetSize() == 0)
            AddDefaultStyleSheets(-1);
    }
}

CStyleSheet* FindStyleSheetForFile(const char* path) {
    if (!g_array || !path) return nullptr;
    const char* name = PathFileName(path);
    if (!name[0]) return nullptr;
    if (CStyleSheet* s = g_array->FindByName(nullptr, name, 1, nullptr)) return s;
    const char* dot = strrchr(name, '.');
    return dot ? g_array->FindByName(nullptr, dot + 1, 1, nullptr) : nullptr;
}

int GetLanguageForFile(const char* path) {
    CStyleSheet* s = FindStyleSheetForFile(path);
    if (!s) return -1;
    if (s->m_LanguageIndex == SS_LANGUAGE_UNRESOLVED) s->ValidateLanguage(0, path);
    return FindLanguageByName(s->m_LanguageName.c_str());
}

int StyleSheetExists(const char* name) {
    return g_array && g_array->FindByName(name, nullptr, -1, nullptr) ? 1 : 0;
}

int FillStyleSheetList(VMB* list, unsigned flags, int filter) {
    if (!g_array || !vmb_in_use(list)) return 0;
    struct Row {
        std::string text;
        bool associated;
    };
    std::vector<Row> rows;
    int count = 0;
    for (int i = 0; i < g_array->GetSize(); ++i) {
        CStyleSheet* s = g_array->GetAt(i);
        if (filter != -1 && s->m_Associated != filter) continue;
        ++count;
        if (s->m_LanguageIndex == SS_LANGUAGE_UNRESOLVED) {
            int index = -1;
            if (FindOrLoadLanguageSpec(&index, -1, s->m_LanguageName.c_str(),
                                       s->m_Flavour.empty() ? nullptr : s->m_Flavour.c_str()))
                s->m_LanguageIndex = index;
        }
        if ((flags & 0x30) == 0x30)
            rows.push_back({s->m_SSName + "\t" + s->m_Extensions, s->m_Associated != 0});
        else if (flags & 0x10)
            rows.push_back({s->m_SSName, s->m_Associated != 0});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return StrCmpNoCase(a.text.c_str(), b.text.c_str()) < 0;
    });
    VmGuard guard;
    for (const Row& r : rows) {
        int line = vm_insert_line(list, vm_last_ln(list), r.text.data(), static_cast<int>(r.text.size()));
        if (line && r.associated) vm_line_flags(list, line, VM_OP_SET, 0x8);
    }
    return count;
}

int NextListItem(std::string* item, const std::string& text, size_t* pos) {
    if (!pos) return -1;
    if (text.empty()) {
        if (*pos == 0) {
            if (item) item->clear();
            *pos = 1;
            return 0;
        }
        return -1;
    }
    size_t start = *pos, end = start;
    while (end < text.size() && !is_separator(text[end])) ++end;
    if (end == start) return -1;
    if (item) *item = text.substr(start, end - start);
    size_t next = end;
    while (next < text.size() && is_separator(text[next])) ++next;
    *pos = next;
    return static_cast<int>(end - start);
}

std::string BuildExtensionFilter(const std::string& extensions) {
    std::string filter, item;
    size_t pos = 0;
    while (NextListItem(&item, extensions, &pos) > 0) filter += "*." + item + ";";
    if (!filter.empty()) filter.pop_back();
    return filter;
}
