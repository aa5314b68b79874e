#include "host/platform/linux/accessibility/role_vocabulary.h"

namespace host::platform::linux_atspi {

RoleNames describeRole(AtspiRole role, bool multiLine) {
    switch (role) {
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_ENTRY:
        return {multiLine ? "AXTextArea" : "AXTextField", std::nullopt};
    case ATSPI_ROLE_PASSWORD_TEXT:
        return {"AXTextField", "AXSecureTextField"};
    case ATSPI_ROLE_PUSH_BUTTON:
    case ATSPI_ROLE_PUSH_BUTTON_MENU:
        return {"AXButton", std::nullopt};
    case ATSPI_ROLE_TOGGLE_BUTTON:
        return {"AXCheckBox", "AXToggle"};
    case ATSPI_ROLE_CHECK_BOX:
        return {"AXCheckBox", std::nullopt};
    case ATSPI_ROLE_RADIO_BUTTON:
        return {"AXRadioButton", std::nullopt};
    case ATSPI_ROLE_FRAME:
        return {"AXWindow", "AXStandardWindow"};
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_ALERT:
    case ATSPI_ROLE_FILE_CHOOSER:
        return {"AXWindow", "AXDialog"};
    case ATSPI_ROLE_WINDOW:
        return {"AXWindow", std::nullopt};
    case ATSPI_ROLE_APPLICATION:
        return {"AXApplication", std::nullopt};
    case ATSPI_ROLE_SCROLL_PANE:
        return {"AXScrollArea", std::nullopt};
    case ATSPI_ROLE_SCROLL_BAR:
        return {"AXScrollBar", std::nullopt};
    case ATSPI_ROLE_LABEL:
    case ATSPI_ROLE_STATIC:
        return {"AXStaticText", std::nullopt};
    case ATSPI_ROLE_FILLER:
    case ATSPI_ROLE_PANEL:
    case ATSPI_ROLE_SECTION:
    case ATSPI_ROLE_GROUPING:
        return {"AXGroup", std::nullopt};
    case ATSPI_ROLE_MENU_BAR:
        return {"AXMenuBar", std::nullopt};
    case ATSPI_ROLE_MENU:
    case ATSPI_ROLE_POPUP_MENU:
        return {"AXMenu", std::nullopt};
    case ATSPI_ROLE_MENU_ITEM:
    case ATSPI_ROLE_CHECK_MENU_ITEM:
    case ATSPI_ROLE_RADIO_MENU_ITEM:
        return {"AXMenuItem", std::nullopt};
    case ATSPI_ROLE_COMBO_BOX:
        return {"AXComboBox", std::nullopt};
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
        return {"AXList", std::nullopt};
    case ATSPI_ROLE_TABLE:
    case ATSPI_ROLE_TREE_TABLE:
        return {"AXTable", std::nullopt};
    case ATSPI_ROLE_TREE:
        return {"AXOutline", std::nullopt};
    case ATSPI_ROLE_SLIDER:
        return {"AXSlider", std::nullopt};
    case ATSPI_ROLE_SPIN_BUTTON:
        return {"AXIncrementor", std::nullopt};
    case ATSPI_ROLE_PROGRESS_BAR:
        return {"AXProgressIndicator", std::nullopt};
    case ATSPI_ROLE_IMAGE:
    case ATSPI_ROLE_ICON:
        return {"AXImage", std::nullopt};
    case ATSPI_ROLE_LINK:
        return {"AXLink", std::nullopt};
    case ATSPI_ROLE_TOOL_BAR:
        return {"AXToolbar", std::nullopt};
    case ATSPI_ROLE_PAGE_TAB_LIST:
        return {"AXTabGroup", std::nullopt};
    case ATSPI_ROLE_DESKTOP_FRAME:
        return {"AXSystemWide", std::nullopt};
    default:
        return {"AXUnknown", std::nullopt};
    }
}

} // namespace host::platform::linux_atspi
