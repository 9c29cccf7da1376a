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
    int CurrentTab() const override { return tab; }
    void ShowTab(int index) override
    {
        tab = index;
        shownTabs.push_back(index);
    }
    CallTreeView* CallTree() override { return &tree; }
    void RefillCallLists() override { ++refills; }
    void CallLogged(std::size_t position) override { logged.push_back(position); }
    void ShowCallStatus(std::string_view text) override { status = text; }

    bool ready = true;
    int tab = 0;
    int updates = 0;
    int refills = 0;
    std::string status;
    std::vector<int> shownTabs;
    std::vector<std::size_t> logged;
    FakeCallTree tree;
};
