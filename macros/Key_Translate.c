// Key translation: the request record says what to do.
//   0  key text into key bytes       1  key bytes into key text
//   2  open the keyboard             3  open it again (after an edit)
// The key names and the keyboard-definition format are served by the
// request's methods; the result word is the count they return (or -1).
#include "qw_natives.h"

int main(int id, int op, int view, int req, int *result)
{
    int kind;
    kind = KeyReq_Op(req);
    if (kind == 0)
        *result = KeyReq_TextToKeys(req);
    else if (kind == 1)
        *result = KeyReq_KeysToText(req);
    else if (kind == 2 || kind == 3)
        *result = KeyReq_OpenKeyboard(req);
    else
        *result = -1;
    return 0;
}
