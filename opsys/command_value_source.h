#pragma once
// Settings of the editor are command values, kept by the command layer,
// which sits above the engines. The engines read the few they need through
// this source, which the command layer installs at start-up; until then (and
// in the engines' own tests) a reader gets the default it passes, which is
// the command table's default for that identifier.

using QwCommandValueFn = int (*)(int id);

// Installs the command layer's reader (nullptr removes it); returns the previous one.
QwCommandValueFn QwSetCommandValueSource(QwCommandValueFn fn);

// The value of command `id`, or `table_default` while no source is installed
// or when the source has no record for it (it answers -1).
int QwCommandValue(int id, int table_default);
