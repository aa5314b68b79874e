#pragma once
// Translation of AT-SPI roles into the host's role vocabulary ("AXTextField", "AXButton"...).
//
// | AT-SPI role (state)                   | role                | subrole           |
// |---------------------------------------|---------------------|-------------------|
// | TEXT, ENTRY with MULTI_LINE           | AXTextArea          |                   |
// | TEXT, ENTRY otherwise (SINGLE_LINE)   | AXTextField         |                   |
// | PASSWORD_TEXT                         | AXTextField         | AXSecureTextField |
// | PUSH_BUTTON, PUSH_BUTTON_MENU         | AXButton            |                   |
// | TOGGLE_BUTTON                         | AXCheckBox          | AXToggle          |
// | CHECK_BOX                             | AXCheckBox          |                   |
// | RADIO_BUTTON                          | AXRadioButton       |                   |
// | FRAME                                 | AXWindow            | AXStandardWindow  |
// | DIALOG, ALERT, FILE_CHOOSER           | AXWindow            | AXDialog          |
// | WINDOW (popups)                       | AXWindow            |                   |
// | APPLICATION                           | AXApplication       |                   |
// | SCROLL_PANE                           | AXScrollArea        |                   |
// | SCROLL_BAR                            | AXScrollBar         |                   |
// | LABEL, STATIC                         | AXStaticText        |                   |
// | FILLER, PANEL, SECTION, GROUPING      | AXGroup             |                   |
// | MENU_BAR                              | AXMenuBar           |                   |
// | MENU, POPUP_MENU                      | AXMenu              |                   |
// | MENU_ITEM, CHECK_/RADIO_MENU_ITEM     | AXMenuItem          |                   |
// | COMBO_BOX                             | AXComboBox          |                   |
// | LIST, LIST_BOX                        | AXList              |                   |
// | TABLE, TREE_TABLE                     | AXTable             |                   |
// | TREE                                  | AXOutline           |                   |
// | SLIDER                                | AXSlider            |                   |
// | SPIN_BUTTON                           | AXIncrementor       |                   |
// | PROGRESS_BAR                          | AXProgressIndicator |                   |
// | IMAGE, ICON                           | AXImage             |                   |
// | LINK                                  | AXLink              |                   |
// | TOOL_BAR                              | AXToolbar           |                   |
// | PAGE_TAB_LIST                         | AXTabGroup          |                   |
// | DESKTOP_FRAME (system-wide element)   | AXSystemWide        |                   |
// | anything else                         | AXUnknown           |                   |

#include <atspi/atspi-constants.h>

#include <optional>
#include <string_view>

namespace host::platform::linux_atspi {

struct RoleNames {
    std::string_view role;
    std::optional<std::string_view> subrole; // nothing: the element has no subrole
};

// `multiLine`: the element carries the MULTI_LINE state (only text roles look at it).
RoleNames describeRole(AtspiRole role, bool multiLine);

} // namespace host::platform::linux_atspi
