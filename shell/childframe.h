#pragma once
// CChildFrame: the MDI document window of the text template. Its client is
// a splitter of up to two rows and two columns of views of one document,
// which the pane commands split, close and walk.
#include "framework/fwframe.h"
#include "framework/fwsplitter.h"

class CChildFrame : public fw::MDIChildWindow {
    FW_DECLARE_DYNCREATE(CChildFrame)
public:
    fw::SplitterWindow& splitter() { return splitter_; }

protected:
    bool OnCreateClient(CREATESTRUCTA* cs, fw::CreateContext* context) override;

private:
    fw::SplitterWindow splitter_;
};
