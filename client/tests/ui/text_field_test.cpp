#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/text_field.h"

namespace vobu {
namespace {

using Step = std::function<void(TextField&)>;

// Key-like steps, as a screen maps keys onto the field.
Step type(std::string s) {
    return [s](TextField& f) { f.replaceSelection(s); };
}
Step left(bool shift = false) {
    return [=](TextField& f) { f.moveCursor(-1, shift, false); };
}
Step right(bool shift = false) {
    return [=](TextField& f) { f.moveCursor(+1, shift, false); };
}
Step wordLeft(bool shift = false) {
    return [=](TextField& f) { f.moveCursor(-1, shift, true); };
}
Step wordRight(bool shift = false) {
    return [=](TextField& f) { f.moveCursor(+1, shift, true); };
}
Step home(bool shift = false) {
    return [=](TextField& f) { f.moveToEdge(false, shift); };
}
Step end(bool shift = false) {
    return [=](TextField& f) { f.moveToEdge(true, shift); };
}
Step backspace(bool word = false) {
    return [=](TextField& f) { f.deleteChar(true, word); };
}
Step del(bool word = false) {
    return [=](TextField& f) { f.deleteChar(false, word); };
}
Step at(int i) {
    return [=](TextField& f) { f.setCursor(i, false); };
}
Step selectAll() {
    return [](TextField& f) { f.selectAll(); };
}
Step undo() {
    return [](TextField& f) { f.undo(); };
}
Step redo() {
    return [](TextField& f) { f.redo(); };
}
Step doubleClick(int i) {
    return [=](TextField& f) { f.selectWordAt(i); };
}

struct Case {
    const char* name;
    std::string start;
    int maxLength;
    std::vector<Step> steps;
    std::string text;
    int cursor;
    int anchor;
    size_t undoSteps;
};

std::string const kE = "\xC3\xA9";              // é, two bytes
std::string const kEuro = "\xE2\x82\xAC";       // three bytes
std::string const kSmile = "\xF0\x9F\x98\x80";  // four bytes
std::string const kIdeoSpace = "\xE3\x80\x80";

TEST(TextField, KeySequenceTable) {
    std::vector<Case> cases = {
        {"typing appends at the cursor", "", 24, {type("ab"), type("c")}, "abc", 3, 3, 2},
        {"cursor counts code points", "", 24, {type(kE + kEuro + kSmile)}, kE + kEuro + kSmile, 3, 3, 1},
        {"insert in the middle of multi-byte text", kE + kEuro, 24, {left(), type("x")}, kE + "x" + kEuro, 2, 2, 1},
        {"left and right stop at the ends", "ab", 24, {right(), right(), home(), left(), left()}, "ab", 0, 0, 0},
        {"shift extends, typing replaces the selection",
         "hello",
         24,
         {left(true), left(true), type("LP")},
         "helLP",
         5,
         5,
         1},
        {"left collapses a selection to its left end",
         "hello",
         24,
         {home(), right(true), right(true), left()},
         "hello",
         0,
         0,
         0},
        {"right collapses a selection to its right end",
         "hello",
         24,
         {end(), left(true), left(true), right()},
         "hello",
         5,
         5,
         0},
        {"word right stops before punctuation, then at the next word",
         "foo, bar",
         24,
         {home(), wordRight()},
         "foo, bar",
         3,
         3,
         0},
        {"word right twice", "foo, bar", 24, {home(), wordRight(), wordRight()}, "foo, bar", 5, 5, 0},
        {"word right over trailing spaces to the end", "foo   ", 24, {home(), wordRight()}, "foo   ", 6, 6, 0},
        {"word left skips spaces and a word", "foo bar  ", 24, {wordLeft()}, "foo bar  ", 4, 4, 0},
        {"word left over punctuation run", "a--b", 24, {at(3), wordLeft()}, "a--b", 1, 1, 0},
        {"non-ASCII letters are word characters",
         "x" + kE + kE + " y",
         24,
         {home(), wordRight()},
         "x" + kE + kE + " y",
         4,
         4,
         0},
        {"ideographic space separates words",
         "ab" + kIdeoSpace + "cd",
         24,
         {home(), wordRight()},
         "ab" + kIdeoSpace + "cd",
         3,
         3,
         0},
        {"shift word left selects the word", "foo bar", 24, {wordLeft(true)}, "foo bar", 4, 7, 0},
        {"backspace by word removes bar", "foo bar", 24, {backspace(true)}, "foo ", 4, 4, 1},
        {"backspace by word after the space removes foo and the space",
         "foo bar",
         24,
         {at(4), backspace(true)},
         "bar",
         0,
         0,
         1},
        {"delete by word removes the word and its spaces", "foo  bar", 24, {home(), del(true)}, "bar", 0, 0, 1},
        {"backspace at the start changes nothing", "ab", 24, {home(), backspace()}, "ab", 0, 0, 0},
        {"delete at the end changes nothing", "ab", 24, {del()}, "ab", 2, 2, 0},
        {"backspace removes one code point", "a" + kSmile, 24, {backspace()}, "a", 1, 1, 1},
        {"delete removes the selection only", "abcd", 24, {at(1), right(true), right(true), del()}, "ad", 1, 1, 1},
        {"select all and type", "abcd", 24, {selectAll(), type("z")}, "z", 1, 1, 1},
        {"typing into a full field inserts nothing",
         std::string(24, 'a'),
         24,
         {type("b")},
         std::string(24, 'a'),
         24,
         24,
         0},
        {"paste is cut to the room left",
         std::string(20, 'a'),
         24,
         {type("0123456789")},
         std::string(20, 'a') + "0123",
         24,
         24,
         1},
        {"room counts code points", kSmile + kSmile, 3, {type(kE + kE)}, kSmile + kSmile + kE, 3, 3, 1},
        {"replacing a selection frees its room", "abcd", 4, {selectAll(), type("wxyz!")}, "wxyz", 4, 4, 1},
        {"pasted line breaks and TABs vanish", "", 24, {type("a\r\nb\tc")}, "abc", 3, 3, 1},
        {"only control characters insert nothing", "x", 24, {type("\n\t\x7F")}, "x", 1, 1, 0},
        {"malformed bytes are dropped",
         "",
         24,
         {type("a\xC3(\xFF"
               "b")},
         "a(b",
         3,
         3,
         1},
        {"undo restores text and cursor", "ab", 24, {type("c"), type("d"), undo()}, "abc", 3, 3, 1},
        {"redo reapplies", "ab", 24, {type("c"), undo(), redo()}, "abc", 3, 3, 1},
        {"new edit after undo drops redo", "ab", 24, {type("c"), undo(), type("x"), redo()}, "abx", 3, 3, 1},
        {"undo with an empty history does nothing", "ab", 24, {undo(), redo()}, "ab", 2, 2, 0},
        {"undo restores the selection", "abcd", 24, {selectAll(), type("z"), undo()}, "abcd", 4, 0, 0},
        {"double click in a run of spaces selects the run", "ab   cd", 24, {doubleClick(3)}, "ab   cd", 5, 2, 0},
        {"double click on a word", "foo,bar", 24, {doubleClick(5)}, "foo,bar", 7, 4, 0},
        {"double click past the end takes the last run", "foo,bar", 24, {doubleClick(99)}, "foo,bar", 7, 4, 0},
        {"double click in an empty field", "", 24, {doubleClick(3)}, "", 0, 0, 0},
        {"setCursor clamps", "abc", 24, {at(-4)}, "abc", 0, 0, 0},
    };
    for (const Case& c : cases) {
        TextField field(c.maxLength);
        field.setText(c.start);
        for (const Step& step : c.steps) step(field);
        EXPECT_EQ(field.text, c.text) << c.name;
        EXPECT_EQ(field.cursor, c.cursor) << c.name;
        EXPECT_EQ(field.anchor, c.anchor) << c.name;
        EXPECT_EQ(field.undoStack.size(), c.undoSteps) << c.name;
    }
}

TEST(TextField, SetTextCleansCutsAndStartsANewHistory) {
    TextField field(3);
    field.replaceSelection("x");
    field.setText("a\tb" + kE + "cd");
    EXPECT_EQ(field.text, "ab" + kE);
    EXPECT_EQ(field.cursor, 3);
    EXPECT_EQ(field.anchor, 3);
    EXPECT_TRUE(field.undoStack.empty());
    EXPECT_TRUE(field.redoStack.empty());
}

TEST(TextField, UndoKeepsTheLast64Snapshots) {
    TextField field(256);
    for (int i = 0; i < 65; ++i) field.replaceSelection(std::string(1, char('a' + i % 26)));
    EXPECT_EQ(field.undoStack.size(), 64u);
    int undone = 0;
    while (!field.undoStack.empty()) {
        field.undo();
        ++undone;
    }
    EXPECT_EQ(undone, 64);
    EXPECT_EQ(field.text, "a");  // the first edit's snapshot was dropped
    EXPECT_EQ(field.redoStack.size(), 64u);
    for (int i = 0; i < 64; ++i) field.redo();
    EXPECT_EQ(utf8Length(field.text), 65);
    EXPECT_EQ(field.undoStack.size(), 64u);
}

TEST(TextField, SelectedTextIsTheCodePointsBetweenCursorAndAnchor) {
    TextField field(24);
    field.setText("a" + kE + kEuro + "b");
    field.setCursor(1, false);
    field.setCursor(3, true);
    EXPECT_EQ(field.selectedText(), kE + kEuro);
    field.moveCursor(-3, true, false);
    EXPECT_EQ(field.selectedText(), "a");
    field.setCursor(2, false);
    EXPECT_EQ(field.selectedText(), "");
}

TEST(TextField, ReplaceRangeRulesAndComposition) {
    TextField field(10);
    field.setText("abcdef");
    field.replaceRange(1, 3, "XYZ");
    EXPECT_EQ(field.text, "aXYZdef");
    EXPECT_EQ(field.cursor, 4);
    field.replaceRange(2, 2, "");  // empty operation: no history
    EXPECT_EQ(field.undoStack.size(), 1u);
    field.replaceRange(0, 99, "q");  // the end is clamped to the length
    EXPECT_EQ(field.text, "q");

    field.applyComposition("h\xC3\xA9llo\n", 9, -2);
    EXPECT_EQ(field.text, "h" + kE + "llo");
    EXPECT_EQ(field.cursor, 5);
    EXPECT_EQ(field.anchor, 0);
    EXPECT_EQ(field.undoStack.size(), 2u);  // untouched by composition
}

TEST(TextField, CharClasses) {
    TextField field(24);
    field.setText("a_9 ,\xC2\xA0" + kE + "~");
    std::vector<int> classes;
    for (int i = 0; i <= field.length(); ++i) classes.push_back(field.charClass(i));
    EXPECT_EQ(classes, (std::vector<int>{1, 1, 1, 0, 2, 0, 1, 2, 2}));
}

TEST(Utf8Offsets, Table) {
    struct Case {
        std::string text;
        std::vector<size_t> offsets;
    };
    std::vector<Case> cases = {
        {"", {0}},
        {"ab", {0, 1, 2}},
        {kE + "x", {0, 2, 3}},
        {kSmile + kEuro, {0, 4, 7}},
        {"\x80\xC1", {0, 1, 2}},  // stray bytes count alone
        {"\xE2\x82"
         "a",
         {0, 2, 3}},                  // cut by a non-continuation byte
        {"\xF0\x9F", {0, 2}},         // cut by the end
        {"\xC3\xA9\xA9", {0, 2, 3}},  // an extra continuation counts alone
    };
    for (const Case& c : cases) EXPECT_EQ(utf8CharOffsets(c.text), c.offsets);
    EXPECT_EQ(utf8Length(kE + kSmile), 2);
    EXPECT_EQ(utf8Prefix(kE + kSmile + "z", 2), kE + kSmile);
    EXPECT_EQ(utf8Prefix("abc", -1), "");
    EXPECT_EQ(utf8Prefix("abc", 9), "abc");
}

}  // namespace
}  // namespace vobu
