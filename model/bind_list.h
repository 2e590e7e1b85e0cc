// The binds the player has made: their command texts in fixed slots, and the key captured last.
// The list box lines that name the binds live in the window layer; each line carries its slot.
#pragma once

#include <cstdint>

#include "action_catalogue.h"
#include "key_names.h"

constexpr int MaxBinds = 1024;
constexpr int BindSlotSize = 256;
constexpr int CustomTextSize = 256;  // what the custom text box hands over, terminator included
constexpr int BindCaptionSize = 256;

struct BindSlot {
    char Text[BindSlotSize];  // empty: never handed out since the last clear, or deleted
};

enum AddOutcome {
    BindAdded,
    BindListFull,    // all MaxBinds slots hold live binds
    CommandTooLong,  // the filled template would not fit a slot; nothing changed
};

struct BindModel {
    KeyEntry KeyNameTable[KeyCount];
    int32_t CurrentKey;
    int32_t BindCount;
    BindSlot Slots[MaxBinds];

    int FillKeyNames();
    int RecordKey(int32_t code);
    const char* DisplayName(int32_t code) const;
    const char* GameKeyName(int32_t code) const;

    // When BindCount has reached MaxBinds, moves the live slots to the front in their order and
    // lowers BindCount to their number. newSlotOf[old] receives each live slot's new number (-1
    // for emptied slots). Returns 1 when there is room for an add afterwards, 0 when every slot
    // holds a live bind (nothing changes then). Does nothing and returns 1 below the limit.
    int MakeRoom(int32_t newSlotOf[MaxBinds]);
    // Fills the action's template with CurrentKey's game key name and customText into slot
    // BindCount, writes the list caption into caption and the slot number into *slot, and raises
    // BindCount. Nothing changes unless the result is BindAdded. The caller has made room first.
    AddOutcome AddBind(int category, int actionSlot, const char* customText,
                       char caption[BindCaptionSize], int32_t* slot);
    // Empties one slot; out-of-range numbers are ignored.
    int DeleteSlot(int32_t slot);
    int ClearSlots();
    // "" for out-of-range numbers.
    const char* SlotText(int32_t slot) const;
};

// Fills a command template: each "%s" takes the next argument unchanged, any other byte is
// copied. Returns the length written, or -1 when the result (with its terminator) would not fit
// in destSize bytes; the destination then holds an empty text.
int FillTemplate(char* dest, int destSize, const char* commandTemplate, const char* first,
                 const char* second);
