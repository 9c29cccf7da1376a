#pragma once

#include "fake_call_tree.h"
#include "telephony/main_window_link.h"

#include <string>
#include <vector>

// The main window as telephony sees it: counts what it was asked to do.
class FakeMainWindow : public MainWindowLink {
public:
    bool IsReady() const override { return ready; }
    void UpdateControls() override { ++updates; }
    WindowPage CurrentPage() const override { return page; }
    void ShowPage(WindowPage shown) override
    {
        page = shown;
        shownPages.push_back(shown);
    }
    CallTreeView* CallTree() override { return &tree; }
    void RefillCallLists() override { ++refills; }
    void CallLogged(std::size_t position) override { logged.push_back(position); }
    void ShowCallStatus(std::string_view text) override { status = text; }

    bool ready = true;
    WindowPage page = WindowPage::Contacts;
    int updates = 0;
    int refills = 0;
    std::string status;
    std::vector<WindowPage> shownPages;
    std::vector<std::size_t> logged;
    FakeCallTree tree;
};
