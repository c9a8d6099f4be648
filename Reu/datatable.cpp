#include "Reu/datatable.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "VmEngine/vmfile.h"
#include "Reu/reu_lines.h"

namespace {

std::vector<std::string> SplitColumns(const std::string& row) {
    std::vector<std::string> cols;
    size_t start = 0;
    for (;;) {
        size_t tab = row.find('\t', start);
        if (tab == std::string::npos) {
            cols.push_back(row.substr(start));
            return cols;
        }
        cols.push_back(row.substr(start, tab - start));
        start = tab + 1;
    }
}

std::string JoinColumns(const std::vector<std::string>& cols) {
    std::string row;
    for (size_t i = 0; i < cols.size(); ++i) {
        if (i) row += '\t';
        row += cols[i];
    }
    return row;
}

std::string IntText(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

bool IsDecimal(const char* s) {
    if (!*s) return false;
    for (; *s; ++s) {
        if (*s < '0' || *s > '9') return false;
    }
    return true;
}

} // namespace

// ---- CZQDataTable ----------------------------------------------------------

CZQDataTable::CZQDataTable(bool create) {
    if (create) {
        m_buffer = vmb_open(VMB_T_TEMP, nullptr, VMB_O_FILE);
        m_owned = m_buffer != nullptr;
    }
}

CZQDataTable::~CZQDataTable() { Close(); }

void DataTableHandleInit(CZQDataTable* table) {
    if (!table) return;
    table->m_buffer = nullptr;
    table->m_owned = false;
}

void CZQDataTable::Attach(VMB* buffer) {
    Close();
    m_buffer = buffer;
    m_owned = false;
}

int CZQDataTable::Open(const char* path, bool read_only) {
    // The table never writes through its read stream (a save replaces the
    // whole file), so the file is opened for reading in both cases; a
    // read-only file opens too.
    (void)read_only;
    Close();
    if (!path || !*path) return 0;
    VmGuard guard;
    VMB* b = vmb_open(VMB_T_FILE, path, VMB_O_NOFIND);
    if (!b) return 0;
    if (!vmb_Stream_Open(b, path, "rdw")) {
        vmb_close(b, 0);
        return 0;
    }
    vm_map_line(b, 1);
    m_buffer = b;
    m_owned = true;
    return 1;
}

void CZQDataTable::Close() {
    if (m_owned && vmb_in_use(m_buffer)) vmb_close(m_buffer, 0);
    m_buffer = nullptr;
    m_owned = false;
}

int CZQDataTable::Save() {
    VmGuard guard;
    VMB* b = m_buffer;
    if (!vmb_in_use(b) || !vmb_is_file(b)) return 0;
    const char* name = vmb_get_name(b, nullptr);
    if (!name || !*name) return 0;
    if (!vm_state_flags(b, VM_OP_READ, VM_ST_MODIFIED | VM_ST_UNSAVED)) return 1;
    // Written under a temporary name that replaces the file only once it is
    // complete, so that a failed save keeps the old table.
    const std::string path = name;
    uint32_t r = vmb_save(path.c_str(), nullptr, nullptr, b, 1, 0, vm_last_ln(b), VM_COL_EOL,
                          VMB_SAVE_ALL | VMB_SAVE_NO_BACKUP | VMB_SAVE_TEMP_NAME);
    return (r & VMB_SR_FAILURES) ? 0 : 1;
}

void CZQDataTable::ReadAll() {
    VmGuard guard;
    if (vmb_in_use(m_buffer) && !vm_is_fully_read(m_buffer)) vm_read_lines(m_buffer, UINT32_MAX);
}

int CZQDataTable::CopyRows(int first, CZQDataTable& source) {
    VmGuard guard;
    if (!vmb_in_use(m_buffer) || !vmb_in_use(source.m_buffer)) return 0;
    ReadAll();
    source.ReadAll();
    if (first < 1) first = 1;
    int after = first - 1;
    if (after > vm_last_ln(m_buffer)) after = vm_last_ln(m_buffer);
    // Rows are read from the source before anything is inserted, so that a
    // table copied into itself sees only its old rows.
    const int count = vm_last_ln(source.m_buffer);
    std::vector<std::string> rows(static_cast<size_t>(count));
    for (int i = 1; i <= count; ++i) {
        if (!ReuReadLine(source.m_buffer, i, rows[static_cast<size_t>(i - 1)])) return 0;
    }
    for (const std::string& row : rows) {
        if (vm_insert_line(m_buffer, after, row.data(), static_cast<int>(row.size())) <= 0) return 0;
        ++after;
    }
    return 1;
}

void CZQDataTable::RemoveAll() {
    VmGuard guard;
    if (vmb_in_use(m_buffer) && vm_last_ln(m_buffer) > 0) vm_clear(m_buffer, 1);
}

void CZQDataTable::DeleteRows(int first, int count) {
    VmGuard guard;
    if (vmb_in_use(m_buffer) && first >= 1 && count != 0) vm_delete_lines(m_buffer, first, count, 1);
}

int CZQDataTable::GetSize() const { return vmb_in_use(m_buffer) ? vm_last_ln(m_buffer) : 0; }

std::string CZQDataTable::Escape(const std::string& value, bool raw) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '\t') out += "\\t";
        else if (c == '\\' && !raw) out += "\\\\";
        else out += c;
    }
    return out;
}

std::string CZQDataTable::Unescape(const std::string& stored, bool raw) {
    std::string out;
    out.reserve(stored.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        char c = stored[i];
        if (c != '\\' || i + 1 >= stored.size()) {
            out += c;
            continue;
        }
        char next = stored[++i];
        if (next == 't') out += '\t';
        else if (next == '\\' && !raw) out += '\\';
        else {
            out += c;
            out += next;
        }
    }
    return out;
}

int CZQDataTable::CompareKey(const CZQDataTableKey& key, int row) {
    std::string text;
    ReuReadLine(m_buffer, row, text);
    std::vector<std::string> cols = SplitColumns(text);
    const std::string col = key.column >= 0 && static_cast<size_t>(key.column) < cols.size()
                                ? Unescape(cols[static_cast<size_t>(key.column)], false)
                                : std::string();
    if (key.kind == CZQDataTableKey::Integer) {
        int v = ReuParseInt(col);
        return key.value < v ? -1 : (key.value > v ? 1 : 0);
    }
    return ReuCompareNoCase(key.text ? key.text : "", col);
}

int CZQDataTable::BSearch(int first, int last, const CZQDataTableKey& key, int* code) {
    int dummy;
    if (!code) code = &dummy;
    VmGuard guard;
    if (!vmb_in_use(m_buffer)) {
        *code = -2;
        return first - 1;
    }
    ReadAll();
    if (first < 1) first = 1;
    if (last > GetSize()) last = GetSize();
    if (first > last) {
        *code = -2;
        return first - 1;
    }
    int lo = first, hi = last, mid = first;
    *code = -2;
    while (lo <= hi) {
        mid = lo + (hi - lo) / 2;
        int c = CompareKey(key, mid);
        if (c == 0) {
            *code = 0;
            return mid;
        }
        *code = c > 0 ? 1 : -1;
        if (c > 0) lo = mid + 1;
        else hi = mid - 1;
    }
    return mid;
}

int CZQDataTable::FindRow(const CZQDataTableKey& key) {
    VmGuard guard;
    if (!vmb_in_use(m_buffer)) return -1;
    ReadAll();
    const int n = GetSize();
    if (n == 0) return -1;
    // The first row that sorts after the key, so that equal keys keep the
    // order in which they were inserted.
    int lo = 1, hi = n, result = n + 1;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        if (CompareKey(key, mid) >= 0) lo = mid + 1;
        else {
            result = mid;
            hi = mid - 1;
        }
    }
    return result;
}

int CZQDataTable::InsertColumnsAtKey(const std::vector<std::string>& cols,
                                     const CZQDataTableKey& key) {
    VmGuard guard;
    if (!vmb_in_use(m_buffer)) return 0;
    int at = FindRow(key);
    if (at < 1) at = 1;
    std::string row = JoinColumns(cols);
    return vm_insert_line(m_buffer, at - 1, row.data(), static_cast<int>(row.size()));
}

int CZQDataTable::InsertRow(const CZQDataTableCursor& source, const int* columns,
                            const CZQDataTableKey& key) {
    std::vector<std::string> cols;
    std::string stored;
    for (const int* c = columns; c && *c != -1; ++c) {
        if (!source.StoredColumn(*c, stored)) stored.clear();
        cols.push_back(stored);
    }
    return InsertColumnsAtKey(cols, key);
}

int CZQDataTable::InsertRowEx(const CZQDataTableCursor& source, const char* const* specs,
                              const CZQDataTableKey& key) {
    std::vector<std::string> cols;
    std::string stored;
    for (const char* const* s = specs; s && *s; ++s) {
        if (IsDecimal(*s)) {
            if (!source.StoredColumn(ReuParseInt(*s), stored)) stored.clear();
            cols.push_back(stored);
        } else {
            cols.push_back(Escape(*s, false));
        }
    }
    return InsertColumnsAtKey(cols, key);
}

// ---- CZQDataTableCursor ----------------------------------------------------

int CZQDataTableCursor::Set(CZQDataTable* table, int row, bool create) {
    m_table = table;
    m_row = -1;
    m_columns_added = 0;
    if (!table) return 0;
    VmGuard guard;
    VMB* b = table->GetVMB();
    if (!vmb_in_use(b)) return 0;
    if (!create) return GotoRow(row) ? 1 : 0;
    table->ReadAll();
    const int last = vm_last_ln(b);
    int after;
    if (row == -1) after = last;
    else if (row >= 1 && row <= last + 1) after = row - 1;
    else return 0;
    int added = vm_insert_line(b, after, "", 0);
    if (added <= 0) return 0;
    m_row = added;
    return 1;
}

bool CZQDataTableCursor::IsValid() const {
    return m_table && m_row >= 1 && vmb_in_use(m_table->GetVMB());
}

CZQDataTableCursor& CZQDataTableCursor::operator=(const CZQDataTableCursor& other) {
    m_table = other.m_table;
    m_row = other.m_row;
    m_columns_added = 0;
    return *this;
}

bool CZQDataTableCursor::operator==(const CZQDataTableCursor& other) const {
    return m_table == other.m_table && m_row == other.m_row;
}

bool CZQDataTableCursor::RowExists(int row) const {
    if (!m_table || row < 1) return false;
    VmGuard guard;
    VMB* b = m_table->GetVMB();
    if (!vmb_in_use(b)) return false;
    return row <= vm_last_ln(b) || vm_map_line(b, row) == row;
}

bool CZQDataTableCursor::GotoRow(int row) {
    m_columns_added = 0;
    if (RowExists(row)) {
        m_row = row;
        return true;
    }
    m_row = -1;
    return false;
}

bool CZQDataTableCursor::Next() { return m_row >= 1 && GotoRow(m_row + 1); }

bool CZQDataTableCursor::Prev() {
    if (m_row <= 1) {
        m_row = -1;
        return false;
    }
    return GotoRow(m_row - 1);
}

bool CZQDataTableCursor::StoredColumn(int n, std::string& out) const {
    out.clear();
    if (n < 0 || !IsValid()) return false;
    VmGuard guard;
    std::string row;
    if (!ReuReadLine(m_table->GetVMB(), m_row, row)) return false;
    size_t start = 0;
    for (int i = 0; i < n; ++i) {
        size_t tab = row.find('\t', start);
        if (tab == std::string::npos) return false;
        start = tab + 1;
    }
    size_t end = row.find('\t', start);
    out = row.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return true;
}

int CZQDataTableCursor::AddColumn(const char* text, bool raw) {
    if (!IsValid()) return 0;
    VmGuard guard;
    VMB* b = m_table->GetVMB();
    std::string row;
    if (!ReuReadLine(b, m_row, row)) return 0;
    if (!row.empty() || m_columns_added > 0) row += '\t';
    row += CZQDataTable::Escape(text ? text : "", raw);
    if (ReuWriteLine(b, m_row, row) <= 0) return 0;
    ++m_columns_added;
    return 1;
}

int CZQDataTableCursor::AddColumnInt(int value) { return AddColumn(IntText(value).c_str(), false); }

int CZQDataTableCursor::SetColumn(int n, const char* text, bool raw) {
    if (n < 0 || !IsValid()) return 0;
    VmGuard guard;
    VMB* b = m_table->GetVMB();
    std::string row;
    if (!ReuReadLine(b, m_row, row)) return 0;
    std::vector<std::string> cols = SplitColumns(row);
    if (static_cast<size_t>(n) >= cols.size()) return 0;
    cols[static_cast<size_t>(n)] = CZQDataTable::Escape(text ? text : "", raw);
    return ReuWriteLine(b, m_row, JoinColumns(cols)) > 0 ? 1 : 0;
}

int CZQDataTableCursor::SetColumnInt(int n, int value) { return SetColumn(n, IntText(value).c_str(), false); }

int CZQDataTableCursor::GetColumnEx(int n, std::string& out, bool raw) const {
    std::string stored;
    if (!StoredColumn(n, stored)) {
        out.clear();
        return -1;
    }
    out = CZQDataTable::Unescape(stored, raw);
    return static_cast<int>(out.size());
}

int CZQDataTableCursor::GetColumn(int n, char* out, int max, bool raw) const {
    if (!out || max < 0) return -1;
    out[0] = '\0';
    std::string text;
    if (GetColumnEx(n, text, raw) < 0) return -1;
    size_t count = text.size() < static_cast<size_t>(max) ? text.size() : static_cast<size_t>(max);
    std::memcpy(out, text.data(), count);
    out[count] = '\0';
    return static_cast<int>(count);
}

int CZQDataTableCursor::GetColumnInt(int n, int* out) const {
    std::string text;
    if (GetColumnEx(n, text, false) < 0) {
        if (out) *out = 0;
        return 0;
    }
    if (text.size() > 119) text.resize(119);
    if (out) *out = ReuParseInt(text);
    return 1;
}

int CZQDataTableCursor::GetColumnStr(int n, std::string& out, const char* def, bool use_default) const {
    if (GetColumnEx(n, out, false) >= 0) return 1;
    if (!use_default) return 0;
    out = def ? def : "";
    return 1;
}

bool CZQDataTableCursor::ColumnEquals(int n, int value) const {
    int v = 0;
    return GetColumnInt(n, &v) && v == value;
}

bool CZQDataTableCursor::IsRowFlagA() const {
    return IsValid() && vm_line_flags(m_table->GetVMB(), m_row, VM_OP_READ, CZQDataTable::RowFlagA) != 0;
}

void CZQDataTableCursor::SetRowFlagA() {
    if (IsValid()) vm_line_flags(m_table->GetVMB(), m_row, VM_OP_SET, CZQDataTable::RowFlagA);
}

void CZQDataTableCursor::ClearRowFlagA() {
    if (IsValid()) vm_line_flags(m_table->GetVMB(), m_row, VM_OP_CLEAR, CZQDataTable::RowFlagA);
}

bool CZQDataTableCursor::IsRowFlagB() const {
    return IsValid() && vm_line_flags(m_table->GetVMB(), m_row, VM_OP_READ, CZQDataTable::RowFlagB) != 0;
}

void CZQDataTableCursor::SetRowFlagB(bool value) {
    if (IsValid())
        vm_line_flags(m_table->GetVMB(), m_row, value ? VM_OP_SET : VM_OP_CLEAR, CZQDataTable::RowFlagB);
}

// ---- CZQColumnMap ----------------------------------------------------------

CZQColumnMap::CZQColumnMap(const int* columns) {
    for (const int* c = columns; c && *c != -1; ++c) m_columns.push_back(*c);
    m_columns.push_back(-1);
}

int CZQColumnMap::Map(int i) const {
    return i >= 0 && i < GetCount() ? m_columns[static_cast<size_t>(i)] : -1;
}
