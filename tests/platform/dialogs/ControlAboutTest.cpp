#include "platform/dialogs/ControlAbout.h"

#include <gtest/gtest.h>

#include "platform/dialogs/ScriptedDialogs.h"

namespace dialogs {
namespace {

TEST(ControlAbout, OneItemPerLineInAnInformationBox) {
    auto script = std::make_shared<ScriptedDialogs>();
    ScopedBackend use(script);
    ShowControlAbout({"QzRegistry", "Korvane", "Copyright (C) 2026 Korvane",
                      "QzRegistry is a trademark of Korvane", "https://www.korvane.example/"});
    const auto boxes = script->MsgBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].prompt,
              "QzRegistry\r\nby Korvane\r\nCopyright (C) 2026 Korvane\r\n\r\n"
              "QzRegistry is a trademark of Korvane\r\nhttps://www.korvane.example/");
    EXPECT_EQ(boxes[0].style, vbOKOnly | vbInformation);
    EXPECT_EQ(boxes[0].title, "About QzRegistry");
}

TEST(ControlAbout, MakerVersionComesFromTheBuild) {
    const ControlVersion v = MakerVersion("QzResize");
    EXPECT_EQ(v.productName, "QzResize");
    EXPECT_EQ(v.companyName, "Korvane");
    EXPECT_NE(v.legalCopyright.find("Korvane"), std::string::npos);
    EXPECT_EQ(v.legalTrademarks, "QzResize is a trademark of Korvane");
    EXPECT_FALSE(v.webAddress.empty());
}

}  // namespace
}  // namespace dialogs
