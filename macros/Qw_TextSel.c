// The selection commands: copy, cut and paste through the clipboard, the
// named buffers (the command's parameter names the buffer, or the file for
// 320 and 458, or gives the fill character for 461). Asked for the list of
// a buffer command, it lists the named buffers.
#include "qw_natives.h"

const K_BufferOpen = 380;
const K_FileInsert = 320;
const K_PasteBuffer = 382;
const K_BufferAddWord = 383;
const K_BufferDelete = 384;
const K_Copy = 455;
const K_Cut = 456;
const K_Paste = 457;
const K_SelectionSave = 458;
const K_CopyToBuffer = 459;
const K_AppendToBuffer = 460;
const K_SelectionFill = 461;

// Edit_Clipboard and Edit_Buffer operations.
const CLIP_COPY = 0;
const CLIP_CUT = 1;
const CLIP_PASTE = 2;
const BUF_COPY = 0;
const BUF_APPEND = 1;
const BUF_PASTE = 2;
const BUF_ADD_WORD = 3;
const BUF_INSERT_FILE = 4;
const BUF_SAVE = 5;
const BUF_FILL = 6;

const LIST_REQUEST = 8;

// The buffer operation of a command, -1 for the others.
int buffer_op(int id)
{
    if (id == K_FileInsert)
        return BUF_INSERT_FILE;
    if (id == K_PasteBuffer)
        return BUF_PASTE;
    if (id == K_BufferAddWord)
        return BUF_ADD_WORD;
    if (id == K_SelectionSave)
        return BUF_SAVE;
    if (id == K_CopyToBuffer)
        return BUF_COPY;
    if (id == K_AppendToBuffer)
        return BUF_APPEND;
    if (id == K_SelectionFill)
        return BUF_FILL;
    return -1;
}

int main(int id, int arg, int view, int rec, int *result)
{
    char name[260];
    int op;
    *result = 0;
    if (arg == LIST_REQUEST) {
        if (id == K_BufferOpen || id == K_PasteBuffer || id == K_BufferAddWord ||
            id == K_BufferDelete || id == K_CopyToBuffer || id == K_AppendToBuffer ||
            id == K_SelectionFill)
            *result = List_AddBufferNames(rec);
        return 0;
    }
    if (id == K_Copy) {
        *result = Edit_Clipboard(view, CLIP_COPY) > 0;
        return 0;
    }
    if (id == K_Cut || id == K_Paste) {
        Edit_Group(view, id);
        if (id == K_Cut)
            *result = Edit_Clipboard(view, CLIP_CUT) > 0;
        else
            *result = Edit_Clipboard(view, CLIP_PASTE) > 0;
        Edit_Group(view, 0);
        return 0;
    }
    op = buffer_op(id);
    if (op < 0)
        return 0;
    name[0] = 0;
    if (rec)
        Cmd_Text(rec, name, 260);
    if ((op == BUF_INSERT_FILE || op == BUF_SAVE || op == BUF_FILL) && name[0] == 0) {
        MsgText(4, "This command needs a parameter");
        return 0;
    }
    Edit_Group(view, id);
    *result = Edit_Buffer(view, op, name) > 0;
    Edit_Group(view, 0);
    return 0;
}
