#include "host/platform/linux/accessibility/role_vocabulary.h"

#include <gtest/gtest.h>

#include <string>

namespace host::platform::linux_atspi {
namespace {

struct RoleCase {
    AtspiRole role;
    bool multiLine;
    std::string role_name;
    std::optional<std::string> subrole;
};

TEST(RoleVocabulary, TranslatesTheRolesTheHostActsOn) {
    const RoleCase cases[] = {
        {ATSPI_ROLE_TEXT, false, "AXTextField", std::nullopt},
        {ATSPI_ROLE_ENTRY, false, "AXTextField", std::nullopt},
        {ATSPI_ROLE_TEXT, true, "AXTextArea", std::nullopt},
        {ATSPI_ROLE_ENTRY, true, "AXTextArea", std::nullopt},
        {ATSPI_ROLE_PASSWORD_TEXT, false, "AXTextField", "AXSecureTextField"},
        // Password fields stay secure whatever their line state says.
        {ATSPI_ROLE_PASSWORD_TEXT, true, "AXTextField", "AXSecureTextField"},
        {ATSPI_ROLE_PUSH_BUTTON, false, "AXButton", std::nullopt},
        {ATSPI_ROLE_FRAME, false, "AXWindow", "AXStandardWindow"},
        {ATSPI_ROLE_DIALOG, false, "AXWindow", "AXDialog"},
        {ATSPI_ROLE_SCROLL_PANE, false, "AXScrollArea", std::nullopt},
        {ATSPI_ROLE_LABEL, false, "AXStaticText", std::nullopt},
        // The line state means nothing outside text roles.
        {ATSPI_ROLE_LABEL, true, "AXStaticText", std::nullopt},
        {ATSPI_ROLE_DRAWING_AREA, false, "AXUnknown", std::nullopt},
        {ATSPI_ROLE_INVALID, false, "AXUnknown", std::nullopt},
    };
    for (const auto& c : cases) {
        const RoleNames names = describeRole(c.role, c.multiLine);
        EXPECT_EQ(names.role, c.role_name) << c.role;
        EXPECT_EQ(names.subrole ? std::optional<std::string>(std::string(*names.subrole))
                                : std::nullopt,
                  c.subrole)
            << c.role;
    }
}

TEST(RoleVocabulary, OnlyPasswordTextIsSecure) {
    for (int role = ATSPI_ROLE_INVALID; role < ATSPI_ROLE_LAST_DEFINED; ++role) {
        for (const bool multiLine : {false, true}) {
            const auto names = describeRole(static_cast<AtspiRole>(role), multiLine);
            EXPECT_EQ(names.subrole == "AXSecureTextField", role == ATSPI_ROLE_PASSWORD_TEXT)
                << role;
            EXPECT_FALSE(names.role.empty());
        }
    }
}

} // namespace
} // namespace host::platform::linux_atspi
