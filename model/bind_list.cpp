#include "bind_list.h"

#include <cstring>

namespace {

// Appends text to a bounded buffer and terminates it; returns false once it is full, and the
// caller then drops the text. Arguments are copied byte for byte, so a % in a key name or label
// stays a %.
bool Append(char* dest, int destSize, int* length, const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        if (*length >= destSize - 1) return false;
        dest[(*length)++] = *p;
    }
    dest[*length] = '\0';
    return true;
}

}  // namespace

int FillTemplate(char* dest, int destSize, const char* commandTemplate, const char* first,
                 const char* second) {
    if (dest == nullptr || destSize <= 0) return -1;
    dest[0] = '\0';
    const char* arguments[2] = {first != nullptr ? first : "", second != nullptr ? second : ""};
    int argumentIndex = 0;
    int length = 0;
    for (const char* p = commandTemplate; *p != '\0'; ++p) {
        bool fits;
        if (p[0] == '%' && p[1] == 's') {
            // A third %s has no argument to take and stays empty.
            const char* argument = argumentIndex < 2 ? arguments[argumentIndex] : "";
            ++argumentIndex;
            ++p;
            fits = Append(dest, destSize, &length, argument);
        } else {
            const char byte[2] = {*p, '\0'};
            fits = Append(dest, destSize, &length, byte);
        }
        if (!fits) {
            dest[0] = '\0';
            return -1;
        }
    }
    return length;
}

int BindModel::FillKeyNames() {
    ::FillKeyNames(KeyNameTable);
    return 1;
}

int BindModel::RecordKey(int32_t code) {
    CurrentKey = code;
    return 1;
}

const char* BindModel::DisplayName(int32_t code) const {
    return KeyEntryOf(KeyNameTable, code).DisplayName;
}

const char* BindModel::GameKeyName(int32_t code) const {
    return KeyEntryOf(KeyNameTable, code).GameKeyName;
}

int BindModel::MakeRoom(int32_t newSlotOf[MaxBinds]) {
    if (BindCount < MaxBinds) return 1;
    int live = 0;
    for (int old = 0; old < MaxBinds; ++old) {
        if (Slots[old].Text[0] != '\0') ++live;
    }
    if (live == MaxBinds) return 0;

    // Moving live slots down in order keeps the writer's reading of slots 0 to BindCount - 1
    // in the order the binds were made.
    int next = 0;
    for (int old = 0; old < MaxBinds; ++old) {
        if (Slots[old].Text[0] == '\0') {
            newSlotOf[old] = -1;
            continue;
        }
        if (next != old) std::memcpy(Slots[next].Text, Slots[old].Text, BindSlotSize);
        newSlotOf[old] = next;
        ++next;
    }
    std::memset(&Slots[next], 0, sizeof(BindSlot) * (MaxBinds - next));
    BindCount = next;
    return 1;
}

AddOutcome BindModel::AddBind(int category, int actionSlot, const char* customText,
                              char caption[BindCaptionSize], int32_t* slot) {
    Action action;
    // No outcome names an unknown action (callers only pass tree selections); like an
    // over-long command it yields nothing that could go into a slot.
    if (!FindAction(category, actionSlot, &action)) return CommandTooLong;
    if (BindCount < 0 || BindCount >= MaxBinds) return BindListFull;

    char command[BindSlotSize] = {};
    const int commandLength =
        FillTemplate(command, BindSlotSize, action.Template, GameKeyName(CurrentKey), customText);
    if (commandLength < 0) return CommandTooLong;

    char line[BindCaptionSize] = {};
    int length = 0;
    // The longest names give about 60 characters, so the caption never needs cutting.
    const char* const parts[] = {DisplayName(CurrentKey), " -> (", CategoryNames[category], ") ",
                                 action.Label};
    for (const char* part : parts) Append(line, BindCaptionSize, &length, part);

    std::memcpy(Slots[BindCount].Text, command, BindSlotSize);
    if (caption != nullptr) std::memcpy(caption, line, BindCaptionSize);
    if (slot != nullptr) *slot = BindCount;
    ++BindCount;
    return BindAdded;
}

int BindModel::DeleteSlot(int32_t slot) {
    if (slot < 0 || slot >= MaxBinds) return 1;
    std::memset(Slots[slot].Text, 0, BindSlotSize);
    return 1;
}

int BindModel::ClearSlots() {
    std::memset(Slots, 0, sizeof(Slots));
    BindCount = 0;
    return 1;
}

const char* BindModel::SlotText(int32_t slot) const {
    if (slot < 0 || slot >= MaxBinds) return "";
    return Slots[slot].Text;
}
