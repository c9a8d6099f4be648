#pragma once
// A table kept in the lines of a buffer: each row is a line, columns are
// separated by TAB. Inside a value a TAB is stored as backslash + "t" and a
// backslash as two backslashes (with the raw option a backslash is stored as
// it is; a TAB is always escaped). Integers are stored as decimal text.
// The source browser keeps its database of symbols in such a table.
#include <string>
#include <vector>

#include "VmEngine/vm.h"

class CZQDataTableCursor;

// Key of the ordered operations: the column it applies to and either a text
// (compared ignoring case) or an integer.
struct CZQDataTableKey {
    enum : int { Text = 0, Integer = 1 };
    const char* text = "";
    int value = 0;
    int kind = Text;
    int column = 0;
};

class CZQDataTable {
public:
    // Row flags free for the table's user (line flags of the buffer).
    enum : int { RowFlagA = 0x10, RowFlagB = 0x08 };

    // With create, a new unnamed buffer that the table owns; else empty.
    explicit CZQDataTable(bool create = false);
    ~CZQDataTable();
    CZQDataTable(const CZQDataTable&) = delete;
    CZQDataTable& operator=(const CZQDataTable&) = delete;

    // Uses an existing buffer without owning it.
    void Attach(VMB* buffer);
    // Reads the file into a new buffer that the table owns; 1 on success,
    // 0 when the file cannot be read. The file is opened for reading only.
    int Open(const char* path, bool read_only);
    // Closes the buffer when the table owns it; the table is empty after.
    void Close();
    // Writes a file buffer back to its file when it changed: the whole file
    // goes to a temporary file beside it first and then replaces it, so a
    // failed save keeps the old file. 1 on success or when nothing changed;
    // 0 for a buffer that is not a file buffer or a failed save.
    int Save();
    // Reads the rest of an attached file that is not fully read yet.
    void ReadAll();
    // Inserts every row of `source` from row `first` on (whole rows, however
    // long). 1 when all were copied.
    int CopyRows(int first, CZQDataTable& source);
    void RemoveAll();
    void DeleteRows(int first, int count);
    // The number of rows read so far.
    int GetSize() const;
    VMB* GetVMB() const { return m_buffer; }

    // Binary search over rows first..last for the key. Returns the row probed
    // last; *code is 0 for equal, 1 when the key sorts after that row, -1
    // before it; an empty range gives first - 1 and code -2.
    int BSearch(int first, int last, const CZQDataTableKey& key, int* code);
    // The row before which the key belongs: the row after the last row that
    // sorts at or before the key; -1 for an empty table.
    int FindRow(const CZQDataTableKey& key);
    // Under the lock, a new row at the place FindRow gives, whose columns are
    // the source row's columns named in `columns` (ended by -1). Returns the
    // new row, 0 on failure.
    int InsertRow(const CZQDataTableCursor& source, const int* columns, const CZQDataTableKey& key);
    // The same with column specifications (ended by nullptr): a decimal
    // number names a source column, any other text is stored as the value.
    int InsertRowEx(const CZQDataTableCursor& source, const char* const* specs,
                    const CZQDataTableKey& key);

    // The stored form of a value, and back.
    static std::string Escape(const std::string& value, bool raw);
    static std::string Unescape(const std::string& stored, bool raw);

    // Compares the key with a row: <0 key sorts before, 0 equal, >0 after.
    int CompareKey(const CZQDataTableKey& key, int row);

    friend void DataTableHandleInit(CZQDataTable* table);

private:
    // Inserts the row made of `cols` before the first row whose key is
    // greater than `key` (keeping the table in order).
    int InsertColumnsAtKey(const std::vector<std::string>& cols, const CZQDataTableKey& key);
    VMB* m_buffer = nullptr;
    bool m_owned = false;
};

// Sets an empty table handle (no buffer, nothing owned).
void DataTableHandleInit(CZQDataTable* table);

// A position on one row of a table, through which columns are read and written.
class CZQDataTableCursor {
public:
    CZQDataTableCursor() = default;
    CZQDataTableCursor(const CZQDataTableCursor& other) { *this = other; }

    // With row -1 and create: appends an empty row and stands on it; with
    // row n and create: inserts an empty row before row n and stands on it;
    // without create: stands on row n when it exists. 1 on success.
    int Set(CZQDataTable* table, int row, bool create);
    bool IsValid() const;
    // Copies table and row; the column count starts again.
    CZQDataTableCursor& operator=(const CZQDataTableCursor& other);
    bool operator==(const CZQDataTableCursor& other) const;
    // To the next / previous row; past either end the cursor becomes invalid.
    bool Next();
    bool Prev();
    bool GotoRow(int row);
    bool RowExists(int row) const;
    CZQDataTable* GetTable() const { return m_table; }
    int GetRow() const { return m_row; }

    // Appends a column to the row: a TAB first unless the row is empty and
    // nothing was appended yet, then the escaped text. 1 on success.
    int AddColumn(const char* text, bool raw = false);
    int AddColumnInt(int value);
    // Replaces column n (from 0); 0 when the row has fewer columns.
    int SetColumn(int n, const char* text, bool raw = false);
    int SetColumnInt(int n, int value);
    // Copies the unescaped text of column n into out (at most max characters
    // and a terminator, so out holds max + 1). Returns the count, 0 for an
    // empty column, -1 when the column does not exist.
    int GetColumn(int n, char* out, int max, bool raw = false) const;
    // Column n as an integer (clamped to the int range); 0 when missing.
    int GetColumnInt(int n, int* out) const;
    // The whole column; the count or -1 when it does not exist.
    int GetColumnEx(int n, std::string& out, bool raw = false) const;
    // The column, or `def` when it is missing and use_default is set; 1 when
    // out was set.
    int GetColumnStr(int n, std::string& out, const char* def, bool use_default) const;
    // Integer compare of column n with value; false when the column is missing.
    bool ColumnEquals(int n, int value) const;

    bool IsRowFlagA() const;
    void SetRowFlagA();
    void ClearRowFlagA();
    bool IsRowFlagB() const;
    void SetRowFlagB(bool value);

private:
    friend class CZQDataTable;
    // The stored text of column n of the current row; false when missing.
    bool StoredColumn(int n, std::string& out) const;

    CZQDataTable* m_table = nullptr;
    int m_row = -1;
    int m_columns_added = 0;
};

// Maps the columns of a list control to table columns: a copy of the
// caller's array of column numbers, ended by -1.
class CZQColumnMap {
public:
    explicit CZQColumnMap(const int* columns);
    virtual ~CZQColumnMap() = default;

    // The table column shown in list column i; -1 past the end.
    int Map(int i) const;
    // The number of mapped columns.
    int GetCount() const { return static_cast<int>(m_columns.size()) - 1; }
    // The array, ended by -1.
    const int* GetColumns() const { return m_columns.data(); }

private:
    std::vector<int> m_columns;
};
