#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "model/bind_list.h"
#include "tests/native/alloc_counter.h"

namespace {

constexpr int32_t SpaceKey = 0x20;
constexpr int32_t F9Key = 0x78;
constexpr int32_t F10Key = 0x79;
constexpr int32_t Keypad6Key = 0x66;  // "kp_rightarrow", the longest game key name

bool SlotIsZero(const BindModel& model, int slot) {
    for (char byte : model.Slots[slot].Text) {
        if (byte != '\0') return false;
    }
    return true;
}

class BindListTest : public ::testing::Test {
protected:
    void SetUp() override {
        model = std::make_unique<BindModel>();
        model->FillKeyNames();
    }

    // Adds a bind and checks the outcome; returns the slot it took.
    int32_t Add(int category, int actionSlot, const char* customText = "") {
        char caption[BindCaptionSize] = {};
        int32_t slot = -1;
        EXPECT_EQ(model->AddBind(category, actionSlot, customText, caption, &slot), BindAdded);
        return slot;
    }

    std::unique_ptr<BindModel> model;
};

struct BindCase {
    int32_t Key;
    int Category;
    int Slot;
    const char* CustomText;
    const char* Caption;
    const char* Command;
};

TEST_F(BindListTest, AddBindWritesCaptionAndCommand) {
    const BindCase cases[] = {
        {SpaceKey, 0, 4, "", "Space Bar -> (Movement) Jump", "bind space \"+moveup\""},
        {0, 0, 0, "", " -> (Movement) Forward", "bind  \"+forward\""},
        {255, 1, 1, "", " -> (Shooting) Reload", "bind  \"+button5\""},
        {-1, 1, 1, "", " -> (Shooting) Reload", "bind  \"+button5\""},
        {KeyWheelUp, 0, 4, "", "Wheel Up  -> (Movement) Jump", "bind mwheelup \"+moveup\""},
        {'W', 0, 0, "ignored \"%s\"; quit", "W -> (Movement) Forward", "bind w \"+forward\""},
        {0xDF, 6, 3, "", "Tidle -> (User Interface) Scores", "bind ` \"+scores\""},
        {0x6A, 3, 21, "", "Keypad * -> (Radio) I got one of them bastards!",
         "bind * \"ut_radio 3 5\""},
        {SpaceKey, 5, 4, "", "Space Bar -> (Other) Custom Bind", "bind space \"\""},
        {SpaceKey, 7, 0, "", "Space Bar -> (Messages) Custom Message", "bind space \"say \""},
        {SpaceKey, 7, 1, "", "Space Bar -> (Messages) Custom Team Message",
         "bind space \"say_team \""},
        {SpaceKey, 7, 0, "Enter your custom string here when required.",
         "Space Bar -> (Messages) Custom Message",
         "bind space \"say Enter your custom string here when required.\""},
        {SpaceKey, 7, 1, "100%s %d %n \"hi\"; quit", "Space Bar -> (Messages) Custom Team Message",
         "bind space \"say_team 100%s %d %n \"hi\"; quit\""},
    };
    int32_t expectedSlot = 0;
    for (const BindCase& c : cases) {
        SCOPED_TRACE(c.Caption);
        model->RecordKey(c.Key);
        char caption[BindCaptionSize];
        std::memset(caption, 'x', sizeof(caption));
        int32_t slot = -1;
        ASSERT_EQ(model->AddBind(c.Category, c.Slot, c.CustomText, caption, &slot), BindAdded);
        EXPECT_STREQ(caption, c.Caption);
        EXPECT_EQ(slot, expectedSlot);
        EXPECT_STREQ(model->SlotText(slot), c.Command);
        EXPECT_EQ(model->CurrentKey, c.Key);
        ++expectedSlot;
        EXPECT_EQ(model->BindCount, expectedSlot);
    }
}

TEST_F(BindListTest, AutoDemoScriptRepeatsAllLinesPerKey) {
    const std::string script =
        "seta r_demo_1 \"set r_demo vstr r_demo_2;g_synchronousClients 1;record;"
        "g_synchronousClients 0\"\n"
        "seta r_demo_2 \"set r_demo vstr r_demo_1;stoprecord\"\n"
        "set r_demo vstr r_demo_1\n";
    model->RecordKey(F9Key);
    const int32_t first = Add(4, 0);
    model->RecordKey(F10Key);
    const int32_t second = Add(4, 0);
    EXPECT_EQ(model->SlotText(first), script + "bind f9 \"vstr r_demo\"");
    EXPECT_EQ(model->SlotText(second), script + "bind f10 \"vstr r_demo\"");
}

TEST_F(BindListTest, CommandsUpTo255CharactersFitAndLongerOnesAreRefused) {
    struct LimitCase {
        int32_t Key;
        int Category;
        int Slot;
    };
    const LimitCase cases[] = {{SpaceKey, 5, 4}, {Keypad6Key, 7, 1}, {0, 7, 0}};
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.Key) + " " + std::to_string(c.Category));
        model->ClearSlots();
        model->RecordKey(c.Key);
        char probe[BindSlotSize];
        Action action = {};
        ASSERT_TRUE(FindAction(c.Category, c.Slot, &action));
        const int base =
            FillTemplate(probe, BindSlotSize, action.Template, model->GameKeyName(c.Key), "");
        ASSERT_GT(base, 0);

        for (int extra : {1, 30, 300}) {
            const std::string tooLong(BindSlotSize - 1 - base + extra, 'L');
            char caption[BindCaptionSize];
            std::memset(caption, 'c', sizeof(caption));
            int32_t slot = 77;
            EXPECT_EQ(model->AddBind(c.Category, c.Slot, tooLong.c_str(), caption, &slot),
                      CommandTooLong);
            EXPECT_EQ(model->BindCount, 0);
            EXPECT_EQ(slot, 77);
            EXPECT_EQ(caption[0], 'c');
            EXPECT_TRUE(SlotIsZero(*model, 0));
            EXPECT_TRUE(SlotIsZero(*model, 1));
        }

        const std::string longest(BindSlotSize - 1 - base, 'F');
        EXPECT_EQ(Add(c.Category, c.Slot, longest.c_str()), 0);
        EXPECT_EQ(std::strlen(model->SlotText(0)), 255u);
        EXPECT_NE(std::string(model->SlotText(0)).find(longest), std::string::npos);
        EXPECT_TRUE(SlotIsZero(*model, 1));
    }
}

TEST(FillTemplate, NeverWritesPastTheDestination) {
    struct FillCase {
        const char* Template;
        const char* First;
        const char* Second;
        int DestSize;
        int Expected;  // length, or -1
        const char* Text;
    };
    const FillCase cases[] = {
        {"bind %s \"%s\"", "w", "x", 11, 10, "bind w \"x\""},
        {"bind %s \"%s\"", "w", "x", 10, -1, ""},
        {"bind %s \"%s\"", "w", "xy", 11, -1, ""},
        {"bind %s", "abc", "ignored", 9, 8, "bind abc"},
        {"bind %s", "abc", nullptr, 8, -1, ""},
        {"bind %s \"%s\"", nullptr, nullptr, 9, 8, "bind  \"\""},
        {"bind %s \"%s\"", nullptr, nullptr, 8, -1, ""},
        {"100% %d %s", "a%sb", "", 13, 12, "100% %d a%sb"},
        {"%s", "", "", 1, 0, ""},
        {"", "a", "b", 4, 0, ""},
        {"x", "", "", 1, -1, ""},
        {"%s %s %s", "a", "b", 8, 4, "a b "},  // a third %s has no argument
    };
    for (const FillCase& c : cases) {
        SCOPED_TRACE(std::string(c.Template) + " size " + std::to_string(c.DestSize));
        char buffer[64];
        std::memset(buffer, '#', sizeof(buffer));
        EXPECT_EQ(FillTemplate(buffer, c.DestSize, c.Template, c.First, c.Second), c.Expected);
        EXPECT_STREQ(buffer, c.Text);
        for (int i = c.DestSize; i < static_cast<int>(sizeof(buffer)); ++i) {
            ASSERT_EQ(buffer[i], '#') << "byte " << i << " written";
        }
    }
    char untouched = '#';
    EXPECT_EQ(FillTemplate(&untouched, 0, "%s", "a", "b"), -1);
    EXPECT_EQ(untouched, '#');
}

TEST_F(BindListTest, DeletedSlotsStayEmptyWhileOtherLinesKeepTheirSlots) {
    model->RecordKey('A');
    EXPECT_EQ(Add(0, 0), 0);
    EXPECT_EQ(Add(0, 1), 1);
    EXPECT_EQ(Add(0, 2), 2);

    model->DeleteSlot(0);
    EXPECT_STREQ(model->SlotText(0), "");
    EXPECT_STREQ(model->SlotText(1), "bind a \"+back\"");
    EXPECT_STREQ(model->SlotText(2), "bind a \"+moveleft\"");

    model->DeleteSlot(1);
    EXPECT_STREQ(model->SlotText(1), "");
    EXPECT_STREQ(model->SlotText(2), "bind a \"+moveleft\"");
    EXPECT_EQ(model->BindCount, 3);

    model->DeleteSlot(-1);
    model->DeleteSlot(MaxBinds);
    EXPECT_STREQ(model->SlotText(2), "bind a \"+moveleft\"");
    EXPECT_STREQ(model->SlotText(-1), "");
    EXPECT_STREQ(model->SlotText(MaxBinds), "");

    EXPECT_EQ(Add(0, 3), 3);
}

TEST_F(BindListTest, UnknownActionChangesNothing) {
    for (auto cell : {std::make_pair(0, 10), std::make_pair(3, 31), std::make_pair(8, 0),
                      std::make_pair(-1, 0), std::make_pair(0, -1)}) {
        char caption[BindCaptionSize] = "untouched";
        int32_t slot = 55;
        EXPECT_NE(model->AddBind(cell.first, cell.second, "", caption, &slot), BindAdded);
        EXPECT_STREQ(caption, "untouched");
        EXPECT_EQ(slot, 55);
        EXPECT_EQ(model->BindCount, 0);
        EXPECT_TRUE(SlotIsZero(*model, 0));
    }
}

class FullBindListTest : public BindListTest {
protected:
    // Every slot holds a Custom Bind whose text is its slot number, so moves can be traced.
    void FillAll() {
        model->RecordKey(SpaceKey);
        for (int i = 0; i < MaxBinds; ++i) {
            ASSERT_EQ(Add(5, 4, std::to_string(i).c_str()), i);
        }
    }

    static std::string CommandFor(int i) { return "bind space \"" + std::to_string(i) + "\""; }

    int32_t newSlotOf[MaxBinds];
};

TEST_F(FullBindListTest, AddIsRefusedAtTheLimitAndMakeRoomRefusesWhenAllAreLive) {
    FillAll();
    char caption[BindCaptionSize] = "untouched";
    int32_t slot = 9;
    EXPECT_EQ(model->AddBind(0, 0, "", caption, &slot), BindListFull);
    EXPECT_STREQ(caption, "untouched");
    EXPECT_EQ(slot, 9);

    std::fill(std::begin(newSlotOf), std::end(newSlotOf), 4242);
    EXPECT_EQ(model->MakeRoom(newSlotOf), 0);
    EXPECT_EQ(model->BindCount, MaxBinds);
    for (int i = 0; i < MaxBinds; ++i) {
        ASSERT_EQ(model->SlotText(i), CommandFor(i));
        ASSERT_EQ(newSlotOf[i], 4242);
    }
}

TEST_F(FullBindListTest, MakeRoomCompactsLiveSlotsInOrder) {
    FillAll();
    const int deleted[] = {0, 5, 6, 700, MaxBinds - 1};
    for (int slot : deleted) model->DeleteSlot(slot);

    std::fill(std::begin(newSlotOf), std::end(newSlotOf), 4242);
    ASSERT_EQ(model->MakeRoom(newSlotOf), 1);
    const int live = MaxBinds - static_cast<int>(std::size(deleted));
    EXPECT_EQ(model->BindCount, live);

    int expectedNew = 0;
    for (int old = 0; old < MaxBinds; ++old) {
        const bool wasDeleted =
            std::find(std::begin(deleted), std::end(deleted), old) != std::end(deleted);
        if (wasDeleted) {
            ASSERT_EQ(newSlotOf[old], -1) << old;
            continue;
        }
        ASSERT_EQ(newSlotOf[old], expectedNew) << old;
        ASSERT_EQ(model->SlotText(expectedNew), CommandFor(old));
        ++expectedNew;
    }
    for (int slot = live; slot < MaxBinds; ++slot) ASSERT_TRUE(SlotIsZero(*model, slot)) << slot;

    EXPECT_EQ(Add(0, 4), live);
    EXPECT_STREQ(model->SlotText(live), "bind space \"+moveup\"");

    // Below the limit it leaves everything, the mapping included, alone.
    std::fill(std::begin(newSlotOf), std::end(newSlotOf), 4242);
    EXPECT_EQ(model->MakeRoom(newSlotOf), 1);
    EXPECT_EQ(model->BindCount, live + 1);
    EXPECT_EQ(newSlotOf[0], 4242);
}

TEST_F(BindListTest, ClearEmptiesEverySlotAndRestartsAtZero) {
    model->RecordKey(SpaceKey);
    for (int i = 0; i < 5; ++i) Add(7, 0, "some text");
    model->DeleteSlot(2);
    model->ClearSlots();
    EXPECT_EQ(model->BindCount, 0);
    EXPECT_EQ(model->CurrentKey, SpaceKey);
    for (int slot = 0; slot < MaxBinds; ++slot) ASSERT_TRUE(SlotIsZero(*model, slot)) << slot;
    EXPECT_EQ(Add(0, 4), 0);
    EXPECT_STREQ(model->SlotText(0), "bind space \"+moveup\"");
}

TEST(AllocationCounter, SeesGlobalAllocations) {
    const std::size_t before = AllocationCount();
    void* block = ::operator new(16);
    const std::size_t after = AllocationCount();
    ::operator delete(block);
    EXPECT_EQ(after, before + 1);
}

TEST(BindModelAllocations, ModelOperationsUseNoHeap) {
    auto model = std::make_unique<BindModel>();
    auto table = std::make_unique<KeyEntry[]>(KeyCount);
    auto newSlotOf = std::make_unique<int32_t[]>(MaxBinds);
    const std::string custom(100, 'c');
    char caption[BindCaptionSize];
    char command[BindSlotSize];
    int32_t slot = 0;

    const std::size_t before = AllocationCount();
    FillKeyNames(table.get());
    const int filledNames = model->FillKeyNames();
    const int recorded = model->RecordKey(SpaceKey);
    const AddOutcome added = model->AddBind(7, 0, custom.c_str(), caption, &slot);
    model->BindCount = MaxBinds;  // the limit, with one live slot: MakeRoom has work to do
    const int room = model->MakeRoom(newSlotOf.get());
    const int deleted = model->DeleteSlot(0);
    const int deletedNothing = model->DeleteSlot(-1);
    const int filled = FillTemplate(command, BindSlotSize, "bind %s \"say %s\"", "a", "b");
    const int cleared = model->ClearSlots();
    const std::size_t after = AllocationCount();

    EXPECT_EQ(after, before);
    // The calls must have done their work for the count to mean anything; operations answer 1.
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1, 1}),
              (std::vector<int>{filledNames, recorded, deleted, deletedNothing, cleared}));
    EXPECT_EQ(added, BindAdded);
    EXPECT_EQ(room, 1);
    EXPECT_EQ(newSlotOf[0], 0);
    EXPECT_EQ(filled, 14);
    EXPECT_EQ(model->BindCount, 0);
    EXPECT_STREQ(table[SpaceKey].GameKeyName, "space");
}

}  // namespace
