#pragma once
// Atom numbers as an X server might give them, for code that decodes properties without a
// server: the predefined atoms keep their fixed numbers, the rest are numbered in order from
// `first`, as interning them would.

#include "host/platform/linux/x11/x_connection.h"

namespace test_support {

inline host::platform::x11::Atoms numberedAtoms(xcb_atom_t first) {
    host::platform::x11::Atoms a;
    for (xcb_atom_t* atom :
         {&a.wmState,       &a.netWmName,        &a.netWmWindowType,   &a.netWmWindowOpacity,
          &a.netWmState,    &a.netWmStateHidden, &a.utf8String,        &a.compoundText,
          &a.typeDesktop,   &a.typeDock,         &a.typeToolbar,       &a.typeMenu,
          &a.typeUtility,   &a.typeSplash,       &a.typeDialog,        &a.typeDropdownMenu,
          &a.typePopupMenu, &a.typeTooltip,      &a.typeNotification,  &a.typeCombo,
          &a.typeDnd,       &a.typeNormal,       &a.compositingManager})
        *atom = first++;
    return a;
}

} // namespace test_support
