#pragma once
// Resource identifiers of the program.
#define IDR_MAINFRAME 130
