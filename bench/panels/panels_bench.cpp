// Speed of the contacts tree at the store's limit of 65,535 contacts, through the model and a
// shown tree view on the offscreen platform: a full build, and the first keystroke of a search,
// a letter or a digit, which narrows the whole list.
#include "qt_benchmarks.h"
#include "store/contact_store.h"
#include "ui/panels/contact_tree_model.h"

#include <QApplication>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <random>
#include <string>

namespace {

const char* const kFirstNames[]
    = { "John", "Anna", "Peter", "Maria", "Liam", "Olivia", "Noah", "Emma", "Jakub", "Zoë", "Łukasz", "Åsa" };
const char* const kLastNames[]
    = { "Smith", "Johnson", "Novak", "García", "O'Brien", "Müller", "Lee", "Brown" };

// Distinct names: a first name, a last name with a random three-letter suffix and two numbers.
ContactRecord SampleContact(std::mt19937& random)
{
    ContactRecord record;
    record.SetFirstName(kFirstNames[random() % std::size(kFirstNames)]);
    std::string last = kLastNames[random() % std::size(kLastNames)];
    for (int i = 0; i < 3; ++i)
        last.push_back(char('a' + random() % 26));
    record.SetLastName(last);
    record.SetCompany(random() % 3 == 0 ? "Acme, Inc." : "");
    record.SetNumber(0, "+1 (555) " + std::to_string(random() % 10'000'000));
    record.SetNumber(2, "+1 (555) " + std::to_string(random() % 10'000'000));
    return record;
}

ContactStore& Contacts()
{
    static ContactStore store = [] {
        ContactStore contacts;
        std::mt19937 random(7);
        while (contacts.Count() < ContactStore::kMaxRecords)
            contacts.Append(SampleContact(random));
        return contacts;
    }();
    return store;
}

// A shown tree view over the model, as the contacts tab has it.
struct ShownTree {
    ShownTree()
    {
        view.setUniformRowHeights(true);
        view.setHeaderHidden(true);
        view.setModel(&model);
        view.resize(320, 400);
        view.show();
    }
    void Fill(std::string_view text, bool force)
    {
        model.Fill("All", text, force);
        view.setCurrentIndex(model.SelectionAfterFill(text.empty()));
        QApplication::processEvents();
    }
    ContactTreeModel model{ Contacts() };
    QTreeView view;
};

void BM_ContactTreeBuild(benchmark::State& state)
{
    ShownTree tree;
    for (auto _ : state)
        tree.Fill("", true);
    state.counters["contacts"] = double(tree.model.ShownCount());
}
BENCHMARK(BM_ContactTreeBuild)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ContactTreeNarrowFirstKey(benchmark::State& state)
{
    ShownTree tree;
    for (auto _ : state) {
        state.PauseTiming();
        tree.Fill("", true);
        state.ResumeTiming();
        tree.Fill("j", false);
    }
    state.counters["contacts"] = double(tree.model.ShownCount());
}
BENCHMARK(BM_ContactTreeNarrowFirstKey)->Unit(benchmark::kMillisecond)->UseRealTime();

// A digit is also looked for in every number: the first one ("5") is in nearly every contact.
void BM_ContactTreeNarrowFirstDigit(benchmark::State& state)
{
    ShownTree tree;
    for (auto _ : state) {
        state.PauseTiming();
        tree.Fill("", true);
        state.ResumeTiming();
        tree.Fill("5", false);
    }
    state.counters["contacts"] = double(tree.model.ShownCount());
}
BENCHMARK(BM_ContactTreeNarrowFirstDigit)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    RunQtBenchmarks(argc, argv);
    return 0;
}
