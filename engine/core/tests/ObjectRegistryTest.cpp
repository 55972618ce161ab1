#include "engine/core/ObjectRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

// A battle object as the registry sees it: an id, a group and a reply.
class CTestObject : public CMessageObject {
    ORV_VALUE_CLASS(CTestObject)

public:
    CTestObject() = default;
    CTestObject(u32 id, i32 group, u32 reply = 1) : reply(reply)
    {
        SetId(id);
        SetGroup(group);
    }
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 HandleMessage(u32, CMessageObject* sender, intptr_t parameter) override
    {
        ++received;
        lastSender = sender;
        lastParameter = parameter;
        if (onMessage) onMessage();
        return reply;
    }
    void TakeId(u32 id) { SetId(id); }

    u32 reply = 1;
    int received = 0;
    CMessageObject* lastSender = nullptr;
    intptr_t lastParameter = 0;
    std::function<void()> onMessage;
};

// The battle scene as handler: it answers a query by filling the data the
// parameter points to.
class CTestScene : public CScene {
    ORV_VALUE_CLASS(CTestScene)

public:
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 OnMessage(u32 message, intptr_t parameter) override
    {
        *reinterpret_cast<u32*>(parameter) = 0x5CE40 + message;
        return 3;
    }
};

constexpr u32 kAll = CObjectRegistry::kBroadcastId;

struct ThreeObjects : ::testing::Test {
    void SetUp() override
    {
        for (CTestObject* o : {&o20, &o5, &o9}) ASSERT_EQ(registry.Add(o), 1);
    }
    int Received() const { return o5.received + o9.received + o20.received; }

    CObjectRegistry registry;
    CTestObject o5{5, 1}, o9{9, 2}, o20{20, 1};
};

}  // namespace

TEST_F(ThreeObjects, BroadcastReachesTheGroupAndAndsTheReplies)
{
    EXPECT_EQ(registry.Dispatch(40, kAll, 1, &o9, 0), 1u);
    EXPECT_EQ(o5.received + o20.received, 2);
    EXPECT_EQ(o9.received, 0);
    EXPECT_EQ(o20.lastSender, &o9);
    EXPECT_EQ(registry.Dispatch(41, kAll, CObjectRegistry::kAllGroups, nullptr, 0), 1u);
    EXPECT_EQ(Received(), 5);

    o9.reply = 0;
    EXPECT_EQ(registry.Dispatch(42, kAll, -1, nullptr, 0), 0u);
    EXPECT_EQ(registry.Dispatch(42, kAll, 1, nullptr, 0), 1u);
    EXPECT_EQ(registry.Dispatch(43, kAll, 7, nullptr, 0), 1u);  // nobody answers
}

TEST_F(ThreeObjects, MessageToAnIdReachesOnlyThatObject)
{
    o9.reply = 77;
    EXPECT_EQ(registry.Dispatch(50, 9, 1, &o5, 123), 77u);  // group not checked
    EXPECT_EQ(o9.lastParameter, 123);
    EXPECT_EQ(registry.Dispatch(50, 7, -1, &o5, 0), 1u);  // nobody has id 7
    EXPECT_EQ(Received(), 1);
    ASSERT_EQ(registry.Remove(&o9), 1);
    EXPECT_EQ(registry.Dispatch(50, 9, -1, nullptr, 0), 1u);
    EXPECT_EQ(o9.received, 1);
    EXPECT_EQ(registry.GetAt(1), &o20);
    EXPECT_EQ(registry.Remove(&o9), 0);
}

TEST_F(ThreeObjects, KeepsIdsSortedAndRefusesObjectsItCannotAddress)
{
    EXPECT_EQ(registry.GetAt(0), &o5);
    EXPECT_EQ(registry.GetAt(1), &o9);
    EXPECT_EQ(registry.GetAt(2), &o20);
    EXPECT_EQ(registry.Find(9), &o9);
    EXPECT_EQ(registry.Find(7), nullptr);
    CTestObject sameId(9, 3), zero(0, 1), all(kAll, 1);
    for (CTestObject* o : {&sameId, &zero, &all, static_cast<CTestObject*>(nullptr)}) EXPECT_EQ(registry.Add(o), 0);
    o5.TakeId(25);  // out of order, so that only the scan for the object itself finds it
    EXPECT_EQ(registry.Add(&o5), 0);  // already registered
    o5.TakeId(5);
    EXPECT_EQ(registry.GetCount(), 3u);
}

// Ids sort as unsigned numbers up to the last one an object may carry; the
// array grows by one entry exactly when full and never shrinks.
TEST(ObjectRegistry, IdsAtTheEndsOfTheRangeSortUnsignedAndAreFound)
{
    CObjectRegistry registry;
    CTestObject top(0xFFFFFFFE, 1, 11), high(0x80000000, 1, 12), low(0x7FFFFFFF, 1, 13), one(1, 1, 14);
    const u32 capacities[] = {1, 2, 3, 4};
    int i = 0;
    for (CTestObject* o : {&top, &high, &low, &one}) {
        ASSERT_EQ(registry.Add(o), 1);
        EXPECT_EQ(registry.GetCapacity(), capacities[i++]);
    }
    const std::vector<CMessageObject*> order = {&one, &low, &high, &top};
    for (u32 at = 0; at < 4; ++at) EXPECT_EQ(registry.GetAt(at), order[at]) << at;
    EXPECT_EQ(registry.GetAt(4), nullptr);
    for (const auto& [id, reply] : {std::pair{0xFFFFFFFEu, 11u}, {0x80000000u, 12u}, {0x7FFFFFFFu, 13u}, {1u, 14u},
                                    {2u, 1u}, {0xFFFFFFFDu, 1u}})
        EXPECT_EQ(registry.Dispatch(60, id, -1, nullptr, 0), reply) << std::hex << id;
    ASSERT_EQ(registry.Remove(&high), 1);
    EXPECT_EQ(registry.GetCapacity(), 4u);
    EXPECT_EQ(registry.Dispatch(60, 0xFFFFFFFE, -1, nullptr, 0), 11u);
    EXPECT_EQ(registry.GetAt(2), &top);
    EXPECT_EQ(registry.GetAt(3), nullptr);
    ASSERT_EQ(registry.Add(&high), 1);
    EXPECT_EQ(registry.GetCapacity(), 4u);   // the free entry is used again
}

TEST_F(ThreeObjects, BroadcastSurvivesReceiversThatRegisterAndUnregister)
{
    CTestObject o25(25, 1), o30(30, 1), o40(40, 1);
    registry.Add(&o30);
    registry.Add(&o40);
    o9.onMessage = [&] {
        registry.Remove(&o9);
        registry.Remove(&o5);
    };
    o20.onMessage = [&] {
        registry.Add(&o25);
        registry.Remove(&o40);
    };
    EXPECT_EQ(registry.Dispatch(1, kAll, -1, nullptr, 0), 1u);
    EXPECT_EQ(Received(), 3);
    EXPECT_EQ(o25.received + o30.received, 2);
    EXPECT_EQ(o40.received, 0);
}

TEST(ObjectRegistry, MessagesToIdZeroReachTheHandler)
{
    CObjectRegistry registry;
    u32 answer = 0;
    const auto parameter = reinterpret_cast<intptr_t>(&answer);
    EXPECT_EQ(registry.Dispatch(8, 0, -1, nullptr, parameter), 0u);  // no handler
    CTestScene scene;
    registry.SetHandler(&scene);
    CTestObject object(5, 0);
    registry.Add(&object);
    EXPECT_EQ(registry.Dispatch(8, 0, 0, &object, parameter), 3u);
    EXPECT_EQ(answer, 0x5CE48u);  // the message reached the scene
    EXPECT_EQ(object.received, 0);
}

TEST(ObjectRegistry, NewIdsAreUniqueRepeatableAndSkipLiveAndReservedIds)
{
    CObjectRegistry a, b;
    std::vector<CTestObject> objects(500);
    std::set<u32> seen;
    for (CTestObject& o : objects) {
        const u32 id = a.NewId();
        EXPECT_EQ(id, b.NewId());  // fixed seeds: same ids every run
        o.TakeId(id);
        ASSERT_EQ(a.Add(&o), 1);
        EXPECT_TRUE(seen.insert(id).second);
    }

    CObjectRegistry registry;
    CRandom peek = *registry.GetGenerator();
    CTestObject holder(peek.Next(), 0);
    ASSERT_EQ(registry.Add(&holder), 1);
    EXPECT_EQ(registry.NewId(), peek.Next());  // the holder keeps its id

    // A state whose next outputs are 0 and then 0xFFFFFFFF: x = w = 0 gives
    // 0; the next x makes t = x ^ (x << 11) satisfy t ^ (t >> 8) = ~0.
    const u32 t = ~0u ^ (~0u >> 8) ^ (~0u >> 16) ^ (~0u >> 24);
    CRandom* g = registry.GetGenerator();
    g->x = 0;
    g->y = t ^ (t << 11) ^ (t << 22);
    g->z = 12345;
    g->w = 0;
    CRandom check = *g;
    ASSERT_EQ(check.Next(), 0u);
    ASSERT_EQ(check.Next(), kAll);
    EXPECT_EQ(registry.NewId(), check.Next());
}

TEST(ObjectRegistry, ObjectsSendThroughTheGlobalRegistry)
{
    CTestObject sender(1, 0), receiver(2, 0, 6);
    EXPECT_EQ(sender.SendObjectMessage(1, 2, -1, 0), 1u);  // no registry yet
    EXPECT_EQ(sender.SendObjectMessage(1, 0, -1, 0), 0u);
    CObjectRegistry registry;
    SetObjectRegistry(&registry);
    registry.Add(&sender);
    registry.Add(&receiver);
    int data = 0;
    EXPECT_EQ(sender.SendObjectMessage(70, 2, -1, reinterpret_cast<intptr_t>(&data)), 6u);
    EXPECT_EQ(receiver.lastSender, &sender);
    EXPECT_EQ(reinterpret_cast<int*>(receiver.lastParameter), &data);
    SetObjectRegistry(nullptr);

    const CTestObject copy(receiver);  // another object: no id until it draws one
    EXPECT_EQ(copy.GetId(), 0u);
    EXPECT_EQ(copy.GetGroup(), 0);
}

namespace {

// What one receiver does when served: ids to register, then ids to drop.
struct Script {
    std::vector<u32> add, remove;
};

// The order a broadcast serves in: lowest id first, then each time the
// lowest id above the one just served among those registered by then.
std::vector<u32> ServedOrder(std::set<u32> live, const std::map<u32, Script>& scripts)
{
    std::vector<u32> out;
    auto at = live.begin();
    while (at != live.end()) {
        const u32 id = *at;
        out.push_back(id);
        if (auto s = scripts.find(id); s != scripts.end()) {
            for (u32 a : s->second.add) live.insert(a);
            for (u32 r : s->second.remove) live.erase(r);
        }
        at = live.upper_bound(id);
    }
    return out;
}

}  // namespace

TEST(ObjectRegistry, BroadcastGoesOnAfterTheIdJustServedWhateverItsReceiversChange)
{
    struct Case {
        const char* name;
        std::map<u32, Script> scripts;
    };
    std::vector<u32> many;   // enough removals to make the registry compact mid-broadcast
    for (u32 id = 300; id < 400; id += 2) many.push_back(id);
    const Case cases[] = {
        {"drops the next and one already served", {{20, {{}, {30, 10}}}}},
        {"registers after and before itself", {{20, {{25, 5}, {}}}, {25, {{26}, {}}}}},
        {"drops itself and comes back", {{40, {{40}, {40}}}, {50, {{}, {50}}}}},
        {"drops everything after it", {{20, {{}, {30, 40, 50, 60, 70, 80, 90, 100}}}}},
        {"drops many, then registers", {{302, {{401, 303}, many}}}},
    };
    for (const Case& c : cases) {
        CObjectRegistry registry;
        std::map<u32, std::unique_ptr<CTestObject>> objects;
        std::set<u32> live;
        const auto object = [&](u32 id) -> CTestObject& {
            auto& o = objects[id];
            if (!o) o = std::make_unique<CTestObject>(id, 1);
            return *o;
        };
        for (u32 id = 10; id <= 100; id += 10) live.insert(id);
        for (u32 id = 300; id < 400; ++id) live.insert(id);
        for (u32 id : live) ASSERT_EQ(registry.Add(&object(id)), 1);
        std::vector<u32> served;
        const auto wire = [&](u32 id) {
            const auto s = c.scripts.find(id);
            object(id).onMessage = [&, id, s] {
                served.push_back(id);
                if (s == c.scripts.end()) return;
                for (u32 a : s->second.add) registry.Add(&object(a));
                for (u32 r : s->second.remove) registry.Remove(&object(r));
            };
        };
        for (u32 id : live) wire(id);
        for (const auto& [id, script] : c.scripts)
            for (u32 a : script.add) wire(a);
        const std::vector<u32> expected = ServedOrder(live, c.scripts);
        registry.Dispatch(1, kAll, -1, nullptr, 0);
        EXPECT_EQ(served, expected) << c.name;
    }
}

// Objects coming and going at random: the registry agrees with a sorted
// model on count, look-ups, index order and broadcast order.
TEST(ObjectRegistry, ChurnKeepsIdOrderLookUpsAndTheHighWaterCapacity)
{
    CObjectRegistry registry;
    CRandom choice;
    std::vector<std::unique_ptr<CTestObject>> pool;
    std::vector<u32> served;
    for (int i = 0; i < 400; ++i) {
        pool.push_back(std::make_unique<CTestObject>(registry.NewId(), i & 1));
        const u32 id = pool.back()->GetId();
        pool.back()->onMessage = [&served, id] { served.push_back(id); };
    }
    std::map<u32, CTestObject*> model;
    u32 most = 0;
    for (int step = 0; step < 20000; ++step) {
        CTestObject* o = pool[choice.Next() % pool.size()].get();
        const bool in = model.count(o->GetId()) != 0;
        ASSERT_EQ(in ? registry.Remove(o) : registry.Add(o), 1) << step;
        if (in) {
            model.erase(o->GetId());
        } else {
            model[o->GetId()] = o;
        }
        most = std::max(most, u32(model.size()));
        if (step % 1000 != 999) continue;
        ASSERT_EQ(registry.GetCount(), model.size());
        EXPECT_EQ(registry.GetCapacity(), most);
        std::vector<u32> order;
        for (const auto& [id, object] : model) order.push_back(id);
        served.clear();
        registry.Dispatch(2, kAll, -1, nullptr, 0);
        EXPECT_EQ(served, order) << step;
        u32 at = 0;
        for (const auto& [id, object] : model) EXPECT_EQ(registry.GetAt(at++), object) << step;
        for (const auto& p : pool) {
            const bool registered = model.count(p->GetId()) != 0;
            EXPECT_EQ(registry.Find(p->GetId()), registered ? p.get() : nullptr);
            EXPECT_EQ(registry.Add(p.get()), registered ? 0 : 1);   // a second Add is refused
            if (!registered) registry.Remove(p.get());
        }
    }
}

namespace {

// Reads the registry's id order back every way it is read: GetAt at every
// index (and one past the end) and a broadcast.
void ExpectOrder(CObjectRegistry& registry, const std::set<u32>& model,
    const std::map<u32, std::unique_ptr<CTestObject>>& objects, std::vector<u32>& served, const char* name, int step)
{
    ASSERT_EQ(registry.GetCount(), model.size()) << name << " " << step;
    u32 at = 0;
    for (u32 id : model) {
        const CMessageObject* o = registry.GetAt(at++);
        ASSERT_NE(o, nullptr) << name << " " << step << " at " << at - 1;
        EXPECT_EQ(o->GetId(), id) << name << " " << step << " at " << at - 1;
        EXPECT_EQ(registry.Find(id), objects.at(id).get()) << name << " " << step;
    }
    EXPECT_EQ(registry.GetAt(at), nullptr) << name << " " << step;
    served.clear();
    registry.Dispatch(3, kAll, -1, nullptr, 0);
    EXPECT_EQ(served, std::vector<u32>(model.begin(), model.end())) << name << " " << step;
}

}  // namespace

// Thousands of objects registered and dropped in runs that fill, split, empty
// and join the order's blocks: after every run the order read back is the ids
// ascending, and a read between an add and a remove sees the newcomer.
TEST(ObjectRegistry, OrderHoldsThroughInterleavedAddsAndRemovesAtScale)
{
    struct Run {
        u32 first, count, stride;
        bool add;
    };
    struct Case {
        const char* name;
        std::vector<Run> runs;
    };
    const Case cases[] = {
        {"ascending, then every other dropped, then the rest",
            {{1, 3000, 1, true}, {1, 1500, 2, false}, {2, 1500, 2, false}, {1, 1500, 2, true}}},
        {"descending, into the front of the first block",
            {{6000, 3000, 0xFFFFFFFFu, true}, {3001, 1000, 1, false}, {100000, 5, 1, true}}},
        {"two ranges woven together, then a whole middle range out",
            {{10, 2000, 3, true}, {11, 2000, 3, true}, {12, 2000, 3, true}, {1000, 3000, 1, false},
                {1000, 3000, 2, true}}},
        {"everything out, then in again", {{50, 700, 7, true}, {50, 700, 7, false}, {51, 700, 7, true}}},
    };
    for (const Case& c : cases) {
        CObjectRegistry registry;
        std::map<u32, std::unique_ptr<CTestObject>> objects;
        std::set<u32> model;
        std::vector<u32> served;
        const auto object = [&](u32 id) -> CTestObject* {
            auto& o = objects[id];
            if (!o) {
                o = std::make_unique<CTestObject>(id, 0);
                o->onMessage = [&served, id] { served.push_back(id); };
            }
            return o.get();
        };
        int step = 0;
        for (const Run& run : c.runs) {
            for (u32 i = 0, id = run.first; i < run.count; ++i, id += run.stride) {
                const bool registered = model.count(id) != 0;
                if (run.add) {
                    ASSERT_EQ(registry.Add(object(id)), registered ? 0 : 1) << c.name << " " << id;
                    model.insert(id);
                } else {
                    ASSERT_EQ(registry.Remove(object(id)), registered ? 1 : 0) << c.name << " " << id;
                    model.erase(id);
                }
            }
            ExpectOrder(registry, model, objects, served, c.name, step++);
        }
        // One object in and out with a read in between, at each end and in
        // the middle of what is left.
        for (u32 id : {1u, 0xFFFFFFFEu, *model.begin() + 1}) {
            if (model.count(id)) continue;
            ASSERT_EQ(registry.Add(object(id)), 1);
            model.insert(id);
            ExpectOrder(registry, model, objects, served, c.name, step++);
            ASSERT_EQ(registry.Remove(object(id)), 1);
            model.erase(id);
            ExpectOrder(registry, model, objects, served, c.name, step++);
        }
    }
}

// A broadcast over many blocks whose receivers drop whole blocks ahead of it
// and register ids behind and ahead of it goes on after the id just served.
TEST(ObjectRegistry, BroadcastAcrossManyBlocksFollowsReceiversThatReshapeThem)
{
    CObjectRegistry registry;
    std::map<u32, std::unique_ptr<CTestObject>> objects;
    std::set<u32> live;
    std::map<u32, Script> scripts;
    std::vector<u32> far, back;
    for (u32 id = 2000; id < 2600; ++id) far.push_back(id);    // more than two blocks
    for (u32 id = 1; id < 1000; id += 2) back.push_back(id * 10 + 5);
    scripts[1000] = {{5000, 5001}, far};   // drops what lies ahead, adds past it
    scripts[3000] = {back, {}};            // adds behind it (not served now) and ahead (served)
    scripts[5000] = {{2100}, {5001}};
    std::vector<u32> served;
    std::function<CTestObject&(u32)> object = [&](u32 id) -> CTestObject& {
        auto& o = objects[id];
        if (!o) {
            o = std::make_unique<CTestObject>(id, 0);
            const auto s = scripts.find(id);
            o->onMessage = [&, id, s] {
                served.push_back(id);
                if (s == scripts.end()) return;
                for (u32 a : s->second.add) registry.Add(&object(a));
                for (u32 r : s->second.remove) registry.Remove(&object(r));
            };
        }
        return *o;
    };
    for (u32 id = 10; id < 4000; id += 2) live.insert(id);
    live.insert(1000);
    live.insert(3000);
    for (u32 id : live) ASSERT_EQ(registry.Add(&object(id)), 1);
    const std::vector<u32> expected = ServedOrder(live, scripts);
    registry.Dispatch(1, kAll, -1, nullptr, 0);
    EXPECT_EQ(served, expected);
    EXPECT_EQ(std::count(served.begin(), served.end(), 2100u), 0);   // dropped ahead, added back behind
    EXPECT_EQ(std::count(served.begin(), served.end(), 5001u), 0);   // added ahead, dropped before its turn
    EXPECT_EQ(std::count(served.begin(), served.end(), 3015u), 1);
    EXPECT_EQ(std::count(served.begin(), served.end(), 2995u), 0);
    EXPECT_EQ(served.back(), 9995u);
}

}  // namespace ORV_TEST_FILE_ID
