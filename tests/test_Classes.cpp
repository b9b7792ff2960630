#include <doctest.h>

#include <string>
#include <vector>

#include "Classes.h"
#include "runtime/SysUtils.h"

namespace {

// Records its own destruction and the removal notices it receives.
class Probe : public TComponent {
public:
    Probe(TComponent* owner, std::string name, std::vector<std::string>& log) : TComponent(owner), log_(log) {
        SetName(std::move(name));
    }
    ~Probe() override { log_.push_back("destroy " + Name()); }

protected:
    void Notification(TComponent* component, TOperation operation) override {
        if (operation == TOperation::opRemove) log_.push_back(Name() + " told of " + component->Name());
    }

private:
    std::vector<std::string>& log_;
};

struct Listener {
    int calls = 0;
    TObject* lastSender = nullptr;
    void Handle(TObject* sender) {
        ++calls;
        lastSender = sender;
    }
};

}  // namespace

TEST_CASE("an owner destroys what it owns, the most recently made first") {
    std::vector<std::string> log;
    {
        auto owner = std::make_unique<TComponent>(nullptr);
        Make<Probe>(owner.get(), "a", log);
        Make<Probe>(owner.get(), "b", log);
        Make<Probe>(owner.get(), "c", log);
        CHECK(owner->ComponentCount() == 3);
        CHECK(owner->FindComponent("B") == owner->Components(1));
        log.clear();
    }
    // Each one's going is announced to the owner and to the siblings still there.
    std::vector<std::string> expected{"a told of c", "b told of c", "destroy c",
                                      "a told of b", "destroy b",
                                      "destroy a"};
    CHECK(log == expected);
}

TEST_CASE("a component's own parts go before it, while it is still whole") {
    std::vector<std::string> log;
    TComponent root(nullptr);
    auto* outer = Make<Probe>(&root, "outer", log);
    Make<Probe>(outer, "part1", log);
    Make<Probe>(outer, "part2", log);
    root.DestroyComponent(outer);
    // The outer component still hears of its parts going: its own handling is intact.
    CHECK(log == std::vector<std::string>{"outer told of part2", "part1 told of part2", "destroy part2",
                                          "outer told of part1", "destroy part1", "destroy outer"});
}

TEST_CASE("a free notification reaches a component of another owner, and only while registered") {
    std::vector<std::string> log;
    TComponent root(nullptr);
    auto* left = Make<Probe>(&root, "left", log);
    auto* right = Make<Probe>(&root, "right", log);
    auto* watched = Make<Probe>(left, "watched", log);
    auto* watcher = Make<Probe>(right, "watcher", log);
    watcher->FreeNotification(watched);
    log.clear();
    left->DestroyComponent(watched);
    CHECK(log == std::vector<std::string>{"left told of watched", "watcher told of watched", "destroy watched"});

    auto* second = Make<Probe>(left, "second", log);
    watcher->FreeNotification(second);
    watcher->RemoveFreeNotification(second);
    log.clear();
    left->DestroyComponent(second);
    CHECK(log == std::vector<std::string>{"left told of second", "destroy second"});
}

TEST_CASE("an event is raised only when assigned, with the sender") {
    TNotifyEvent event;
    Listener listener;
    TObject sender;
    CHECK_FALSE(event.Assigned());
    event(&sender);
    CHECK(listener.calls == 0);
    event.Bind<&Listener::Handle>(&listener);
    event(&sender);
    CHECK(listener.calls == 1);
    CHECK(listener.lastSender == &sender);
    event.Clear();
    event(&sender);
    CHECK(listener.calls == 1);
}

TEST_CASE("a sorted string list keeps its order, letter case ignored, and refuses bad indexes") {
    TStringList list;
    list.SetSorted(true);
    CHECK(list.Add("pop") == 0);
    CHECK(list.Add("Blues") == 0);
    CHECK(list.Add("jazz") == 1);
    CHECK(list.ToVector() == std::vector<std::string>{"Blues", "jazz", "pop"});
    CHECK(list.IndexOf("JAZZ") == 1);
    CHECK(list.IndexOf("rock") == -1);
    CHECK_THROWS_WITH_AS(list.Get(3), "List index out of bounds", EListError);
    CHECK_THROWS_WITH_AS(list.Delete(-1), "List index out of bounds", EListError);

    TStringList plain;
    plain.Add("b");
    plain.Add("a");
    plain.SetSorted(true);
    CHECK(plain.ToVector() == std::vector<std::string>{"a", "b"});
}
