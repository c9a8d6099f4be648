#pragma once
// Installs the status bar, output pane, do-not-ask-again store and command
// line into the main frame's and the application's hooks (call once, before
// the application starts).
void QwInstallStatusPieces();
