#include "platform/forms/TreeView.h"

#include <gtest/gtest.h>

#include <QPixmap>
#include <QTest>
#include <string>
#include <vector>

#include "platform/automation/Errors.h"
#include "platform/forms/ImageList.h"
#include "tests/platform/forms/QtTestSupport.h"

namespace forms {
namespace {

template <typename F>
void ExpectError(std::int32_t number, F&& f) {
    try {
        f();
        ADD_FAILURE() << "no error, expected " << number;
    } catch (const automation::Error& e) {
        EXPECT_EQ(e.Number(), number);
    }
}

std::vector<std::string> Texts(Node first) {
    std::vector<std::string> texts;
    for (Node n = first; n; n = n.Next()) {
        texts.push_back(n.Text());
    }
    return texts;
}

QIcon Swatch(Qt::GlobalColor color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

class TreeViewTest : public test::QtFixture {
  protected:
    TreeView tree;
};

struct RelationCase {
    int relationship;
    std::vector<std::string> top;
    std::vector<std::string> childrenOfB;
};

void PrintTo(const RelationCase& c, std::ostream* os) {
    *os << "relationship " << c.relationship;
}

class Relations : public TreeViewTest, public testing::WithParamInterface<RelationCase> {};

TEST_P(Relations, PlaceTheNewNodeRelativeToItsRelative) {
    for (const char* key : {"A", "B", "C"}) {
        tree.Add("", tvwChild, key, key);
    }
    tree.Add("B", tvwChild, "b1", "b1");
    tree.Add("B", tvwChild, "b2", "b2");
    tree.Add("B", GetParam().relationship, "X", "X");
    EXPECT_EQ(Texts(tree.Nodes("A").FirstSibling()), GetParam().top);
    EXPECT_EQ(Texts(tree.Nodes("B").Child()), GetParam().childrenOfB);
}

INSTANTIATE_TEST_SUITE_P(
    AllRelations, Relations,
    testing::Values(RelationCase{tvwFirst, {"X", "A", "B", "C"}, {"b1", "b2"}},
                    RelationCase{tvwLast, {"A", "B", "C", "X"}, {"b1", "b2"}},
                    RelationCase{tvwNext, {"A", "B", "X", "C"}, {"b1", "b2"}},
                    RelationCase{tvwPrevious, {"A", "X", "B", "C"}, {"b1", "b2"}},
                    RelationCase{tvwChild, {"A", "B", "C"}, {"b1", "b2", "X"}}));

TEST_F(TreeViewTest, RelationsAmongChildren) {
    tree.Add("", 0, "G", "G");
    tree.Add("G", tvwChild, "c1", "c1");
    tree.Add("G", tvwChild, "c3", "c3");
    tree.Add("c1", tvwNext, "c2", "c2");
    tree.Add("c1", tvwPrevious, "c0", "c0");
    tree.Add("c2", tvwLast, "c4", "c4");
    tree.Add("c4", tvwFirst, "c-1", "c-1");
    EXPECT_EQ(Texts(tree.Nodes("G").Child()),
              (std::vector<std::string>{"c-1", "c0", "c1", "c2", "c3", "c4"}));
    EXPECT_EQ(tree.Nodes("c2").Parent(), tree.Nodes("G"));
}

TEST_F(TreeViewTest, WithoutARelativeTheNodeGoesLastAtTheTop) {
    tree.Add("", tvwChild, "A", "A");
    tree.Add(Node(), tvwFirst, "B", "B");
    EXPECT_EQ(Texts(tree.Nodes("A")), (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(tree.Nodes("B").Parent());
}

TEST_F(TreeViewTest, KeysAreUniqueAndExact) {
    tree.Add("", 0, "C:\\WINDOWS\\SYSTEM\\a.dll", "one");
    // Names that differ only in case can both exist on the host's drives.
    tree.Add("", 0, "C:\\WINDOWS\\SYSTEM\\A.DLL", "two");
    EXPECT_EQ(tree.Nodes("C:\\WINDOWS\\SYSTEM\\a.dll").Text(), "one");
    EXPECT_EQ(tree.Nodes("C:\\WINDOWS\\SYSTEM\\A.DLL").Text(), "two");
    EXPECT_FALSE(tree.Exists("c:\\windows\\system\\a.dll"));
    ExpectError(automation::KeyNotUnique,
                [&] { tree.Add("", 0, "C:\\WINDOWS\\SYSTEM\\a.dll", "3"); });
    EXPECT_EQ(tree.Count(), 2);
    // Nodes without keys do not collide.
    tree.Add("", 0, "", "row");
    tree.Add("", 0, "", "row");
    EXPECT_EQ(tree.Count(), 4);
    EXPECT_FALSE(tree.Find(""));
}

TEST_F(TreeViewTest, MissingKeysAndBadArguments) {
    tree.Add("", 0, "A", "A");
    ExpectError(automation::ElementNotFound, [&] { tree.Nodes("missing"); });
    ExpectError(automation::ElementNotFound, [&] { tree.Remove("missing"); });
    ExpectError(automation::ElementNotFound, [&] { tree.Add("missing", tvwChild, "B", "B"); });
    ExpectError(automation::InvalidProcedureCall, [&] { tree.Add("A", 5, "B", "B"); });
    ExpectError(automation::InvalidProcedureCall, [&] { tree.Add("A", -1, "B", "B"); });
    EXPECT_EQ(tree.Count(), 1);
    EXPECT_FALSE(tree.Find("missing"));
    TreeView other;
    Node foreign = other.Add("", 0, "F", "F");
    ExpectError(automation::InvalidProcedureCall, [&] { tree.Add(foreign, tvwChild, "B", "B"); });
    ExpectError(automation::InvalidProcedureCall, [&] { tree.Remove(foreign); });
}

TEST_F(TreeViewTest, RemoveTakesTheChildrenAlong) {
    tree.Add("", 0, "X.DLL", "X.DLL");
    tree.Add("", 0, "Y.DLL", "Y.DLL");
    for (const char* copy : {"C:\\A\\X.DLL", "C:\\B\\X.DLL"}) {
        tree.Add("X.DLL", tvwChild, copy, copy);
        tree.Add(copy, tvwChild, std::string(copy) + "*Size", "File Size: 1 bytes");
    }
    Node row = tree.Nodes("C:\\B\\X.DLL*Size");
    EXPECT_EQ(tree.Count(), 6);
    tree.Remove("X.DLL");
    EXPECT_EQ(tree.Count(), 1);
    for (const char* gone : {"X.DLL", "C:\\A\\X.DLL", "C:\\B\\X.DLL*Size"}) {
        EXPECT_FALSE(tree.Exists(gone)) << gone;
    }
    ExpectError(35605, [&] { row.Text(); });
    // The keys are free again.
    tree.Add("", 0, "X.DLL", "again");
    EXPECT_EQ(Texts(tree.Nodes("Y.DLL")), (std::vector<std::string>{"Y.DLL", "again"}));
}

TEST_F(TreeViewTest, NothingRaisesObjectNotSet) {
    Node nothing;
    EXPECT_FALSE(nothing);
    ExpectError(automation::ObjectVariableNotSet, [&] { nothing.Key(); });
    ExpectError(automation::ObjectVariableNotSet, [&] { nothing.Next(); });
    ExpectError(automation::ObjectVariableNotSet, [&] { tree.Remove(nothing); });
}

TEST_F(TreeViewTest, Navigation) {
    tree.Add("", 0, "G1", "G1");
    tree.Add("", 0, "G2", "G2");
    tree.Add("G1", tvwChild, "c1", "c1");
    tree.Add("G1", tvwChild, "c2", "c2");
    tree.Add("c2", tvwChild, "r1", "r1");
    Node g1 = tree.Nodes("G1");
    EXPECT_EQ(g1.Children(), 2);
    EXPECT_EQ(g1.Child().Key(), "c1");
    EXPECT_EQ(tree.Nodes("c2").FirstSibling().Key(), "c1");
    EXPECT_EQ(tree.Nodes("c1").LastSibling().Key(), "c2");
    EXPECT_EQ(tree.Nodes("c1").Next().Key(), "c2");
    EXPECT_FALSE(tree.Nodes("c2").Next());
    EXPECT_FALSE(tree.Nodes("c1").Previous());
    EXPECT_EQ(tree.Nodes("c2").Previous().Key(), "c1");
    EXPECT_EQ(tree.Nodes("G2").FirstSibling().Key(), "G1");
    EXPECT_EQ(tree.Nodes("G1").LastSibling().Key(), "G2");
    EXPECT_EQ(tree.Nodes("r1").Parent().Key(), "c2");
    EXPECT_EQ(tree.Nodes("r1").Root().Key(), "G1");
    EXPECT_EQ(g1.Root(), g1);
    EXPECT_FALSE(g1.Parent());
    EXPECT_FALSE(tree.Nodes("G2").Child());
    EXPECT_EQ(tree.Nodes("G2").Children(), 0);
    std::vector<std::string> all;
    for (Node n : tree.AllNodes()) {
        all.push_back(n.Key());
    }
    EXPECT_EQ(all, (std::vector<std::string>{"G1", "c1", "c2", "r1", "G2"}));
}

TEST_F(TreeViewTest, ImagesComeFromTheImageList) {
    ExpectError(35613, [&] { tree.Add("", 0, "A", "A", 1); });
    EXPECT_EQ(tree.Count(), 0);
    Node plain = tree.Add("", 0, "P", "P");
    ExpectError(35613, [&] { plain.SetImage(1); });

    ImageList images;
    for (auto color : {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta, Qt::gray}) {
        images.Add(Swatch(color));
    }
    EXPECT_EQ(images.Count(), 7);
    tree.SetImageList(&images);
    Node group = tree.Add("", 0, "G", "G", 7);
    EXPECT_EQ(group.Image(), 7);
    EXPECT_FALSE(group.Item()->icon(0).isNull());
    ExpectError(automation::IndexOutOfBounds, [&] { tree.Add("", 0, "H", "H", 8); });
    ExpectError(automation::IndexOutOfBounds, [&] { group.SetImage(-1); });
    EXPECT_EQ(group.Image(), 7);
    group.SetImage(3);
    EXPECT_EQ(group.Image(), 3);
    group.SetImage(0);
    EXPECT_EQ(group.Image(), 0);
    EXPECT_TRUE(group.Item()->icon(0).isNull());
    EXPECT_EQ(plain.Image(), 0);
}

TEST_F(TreeViewTest, SettingExpandedRaisesExpandAndCollapseOnChange) {
    std::vector<std::string> events;
    tree.Expand = [&](Node n) { events.push_back("Expand " + n.Key()); };
    tree.Collapse = [&](Node n) { events.push_back("Collapse " + n.Key()); };
    tree.Add("", 0, "G", "G");
    tree.Add("G", tvwChild, "c", "c");
    Node g = tree.Nodes("G");
    g.SetExpanded(true);
    g.SetExpanded(true);
    EXPECT_TRUE(g.Expanded());
    g.SetExpanded(false);
    EXPECT_FALSE(g.Expanded());
    EXPECT_EQ(events, (std::vector<std::string>{"Expand G", "Collapse G"}));
}

TEST_F(TreeViewTest, AnExpandHandlerMayCollapseTheNodeAgain) {
    // The review window closes the first group the user opens, once.
    bool first = true;
    tree.Expand = [&](Node n) {
        if (first && n.Expanded()) {
            first = false;
            n.SetExpanded(false);
        }
    };
    tree.Add("", 0, "G", "G");
    tree.Add("G", tvwChild, "c", "c");
    tree.Nodes("G").SetExpanded(true);
    EXPECT_FALSE(tree.Nodes("G").Expanded());
    tree.Nodes("G").SetExpanded(true);
    EXPECT_TRUE(tree.Nodes("G").Expanded());
}

TEST_F(TreeViewTest, ClicksHitTestsAndSelection) {
    tree.resize(300, 200);
    tree.Add("", 0, "G1", "G1");
    tree.Add("", 0, "G2", "G2");
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    const QRect second = tree.visualItemRect(tree.Nodes("G2").Item());

    EXPECT_EQ(tree.HitTest(second.center()).Key(), "G2");
    EXPECT_FALSE(tree.HitTest(QPoint(5, tree.viewport()->height() - 2)));
    const QPoint inControl = tree.viewport()->mapTo(&tree, second.center());
    EXPECT_EQ(tree.HitTestTwips(inControl.x() * 15.0, inControl.y() * 15.0).Key(), "G2");

    std::vector<std::string> events;
    tree.MouseDown = [&](int button, int shift, double x, double y) {
        events.push_back("MouseDown " + std::to_string(button) + " " + std::to_string(shift));
        EXPECT_EQ(tree.HitTestTwips(x, y).Key(), "G2");
    };
    tree.NodeClick = [&](Node n) { events.push_back("NodeClick " + n.Key()); };
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::ShiftModifier, second.center());
    EXPECT_EQ(events, (std::vector<std::string>{"MouseDown 1 1", "NodeClick G2"}));
    EXPECT_EQ(tree.SelectedItem().Key(), "G2");

    tree.SetSelectedItem(tree.Nodes("G1"));
    EXPECT_EQ(tree.SelectedItem().Key(), "G1");
    tree.Remove("G1");
    tree.SetSelectedItem(Node());
    EXPECT_FALSE(tree.SelectedItem());
}

TEST_F(TreeViewTest, ThirtyThousandNodesByKey) {
    // As a large scan fills it: groups with their copies, then every copy looked up by key.
    constexpr int groups = 10000;
    for (int g = 0; g < groups; ++g) {
        const std::string name = "FILE" + std::to_string(g) + ".DLL";
        tree.Add("", 0, name, name);
        tree.Add(name, tvwChild, "C:\\A\\" + name, "C:\\A\\" + name);
        tree.Add(name, tvwChild, "C:\\B\\" + name, "C:\\B\\" + name);
    }
    EXPECT_EQ(tree.Count(), 3 * groups);
    for (int g = 0; g < groups; ++g) {
        const std::string name = "FILE" + std::to_string(g) + ".DLL";
        ASSERT_EQ(tree.Nodes("C:\\B\\" + name).Parent().Key(), name);
    }
    int walked = 0;
    for (Node n = tree.Nodes("FILE0.DLL"); n; n = n.Next()) {
        ++walked;
    }
    EXPECT_EQ(walked, groups);
    tree.Remove("FILE5000.DLL");
    EXPECT_EQ(tree.Nodes("FILE4999.DLL").Next().Key(), "FILE5001.DLL");
    EXPECT_EQ(tree.Count(), 3 * groups - 3);
    tree.Clear();
    EXPECT_EQ(tree.Count(), 0);
    EXPECT_FALSE(tree.Exists("FILE1.DLL"));
}

TEST(ImageListTest, IndexesCountFromOne) {
    test::TestApp();
    ImageList images;
    EXPECT_EQ(images.Add(Swatch(Qt::red)), 1);
    EXPECT_EQ(images.Add(Swatch(Qt::blue)), 2);
    EXPECT_FALSE(images.Item(2).isNull());
    ExpectError(automation::IndexOutOfBounds, [&] { images.Item(0); });
    ExpectError(automation::IndexOutOfBounds, [&] { images.Item(3); });
    images.Clear();
    ExpectError(automation::IndexOutOfBounds, [&] { images.Item(1); });
}

}  // namespace
}  // namespace forms
