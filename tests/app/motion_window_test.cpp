#include "app/motion_window.h"
#include "app/dropped_files.h"
#include "app/main_menu.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Bar.H>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "../test_files.h"
#include "motion/load_motion.h"

#include "motion/motion.h"
#include "playback/playback_panel.h"
#include "view/motion_view.h"

namespace {

const std::string samplePath = std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh";

// A one-joint motion of two frames; frameTime is written as given.
std::string tinyMotion(const char* frameTime) {
    return std::string(
               "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0 0 0\n"
               "\tCHANNELS 3 Xposition Yposition Zposition\n"
               "\tEnd Site\n\t{\n\t\tOFFSET 0 10 0\n\t}\n}\n"
               "MOTION\nFrames: 2\nFrame Time: ") +
           frameTime + "\n0 0 0\n5 0 1\n";
}

// A scratch folder for files the tests write, removed with everything in it.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern = ::testing::TempDir() + "bvhpath_app_XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        path_ = mkdtemp(buffer.data());
    }
    ~ScratchDir() {
        for (const std::string& f : files_) {
            std::remove(f.c_str());
        }
        rmdir(path_.c_str());
    }
    std::string file(const std::string& name, const std::string& contents = "") {
        const std::string p = path_ + "/" + name;
        files_.push_back(p);
        if (!contents.empty()) {
            std::ofstream(p) << contents;
        }
        return p;
    }

  private:
    std::string path_;
    std::vector<std::string> files_;
};

// The text with every `from` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

bool exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

// Answers the window's file chooser and its questions from a script and records what it was
// asked.
struct ChooserScript {
    struct Call {
        std::string message;
        const char* pattern;
        std::string name;  // "(none)" for a null preset
    };
    std::vector<Call> calls;
    const char* answer = nullptr;  // null cancels
    std::string answerText;
    MotionWindow::UnsavedAnswer unsavedAnswer = MotionWindow::CancelAnswer;
    bool replace = false;
    std::vector<std::string> questions;  // "unsaved NAME" or "replace NAME"

    void answerWith(const std::string& path) {
        answerText = path;
        answer = answerText.c_str();
    }
    void install(MotionWindow& window) {
        window.chooseFile = [this](const char* message, const char* pattern, const char* name) {
            calls.push_back({message, pattern, name ? name : "(none)"});
            return answer;
        };
        window.askUnsaved = [this](const std::string& name) {
            questions.push_back("unsaved " + name);
            return unsavedAnswer;
        };
        window.confirmReplace = [this](const std::string& name) {
            questions.push_back("replace " + name);
            return replace;
        };
    }
};

// The panel state that opening a file sets.
struct PanelState {
    int frame, first, last, start, end;
    float fps;
    bool operator==(const PanelState& o) const {
        return frame == o.frame && first == o.first && last == o.last && start == o.start &&
               end == o.end && fps == o.fps;
    }
};
PanelState panelState(const PlaybackPanel& p) {
    return {p.frame(),
            p.player().firstFrame(),
            p.player().lastFrame(),
            p.player().rangeStart(),
            p.player().rangeEnd(),
            p.framesPerSecond()};
}

class MotionWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { chooser.install(window); }
    MotionWindow window;
    ChooserScript chooser;
    ScratchDir scratch;
};

TEST_F(MotionWindowTest, ChildrenAreViewMenuBarAndPanelAtTheirPlaces) {
    ASSERT_EQ(window.children(), 3);
    EXPECT_EQ(window.child(0), window.view());
    EXPECT_EQ(window.child(2), window.panel());
    const Fl_Widget* menuBar = window.child(1);
    EXPECT_NE(dynamic_cast<const Fl_Menu_Bar*>(menuBar), nullptr);
    EXPECT_EQ(menuBar->x(), 0);
    EXPECT_EQ(menuBar->w(), 800);
    EXPECT_EQ(menuBar->h(), 30);
    EXPECT_EQ(static_cast<const Fl_Menu_Bar*>(menuBar)->textcolor(), 37u);
    EXPECT_EQ(window.view()->x(), 5);
    EXPECT_EQ(window.view()->y(), 35);
    EXPECT_EQ(window.view()->w(), 790);
    EXPECT_EQ(window.view()->h(), 755);
    EXPECT_EQ(window.panel()->x(), 5);
    EXPECT_EQ(window.panel()->y(), 795);
    EXPECT_EQ(window.w(), 800);
    EXPECT_EQ(window.h(), 900);
    EXPECT_STREQ(window.label(), "bvhpath");
}

TEST_F(MotionWindowTest, ResizingGivesTheViewTheSpaceAndKeepsThePanelAtTheBottom) {
    ASSERT_EQ(window.openPath(samplePath), 1);
    window.show();
    window.resize(window.x(), window.y(), 1000, 700);
    const Fl_Widget* menuBar = window.child(1);
    EXPECT_EQ(menuBar->w(), 1000);
    EXPECT_EQ(window.view()->w(), 990);
    EXPECT_EQ(window.view()->h(), 555);
    EXPECT_EQ(window.panel()->y(), 595) << "the panel follows the bottom edge";
    EXPECT_LE(window.panel()->h(), 100) << "and keeps its height";
    EXPECT_EQ(window.panel()->w(), 990);
    // The panel's controls follow its width: the frame slider ends near its right edge.
    EXPECT_GT(window.panel()->frameSlider().x() + window.panel()->frameSlider().w(), 900);
    // The camera's projection takes the new shape: a point at the centre stays at the centre.
    const Camera& c = window.view()->camera();
    const auto centre = projectToPixel(c, c.target, window.view()->w(), window.view()->h());
    ASSERT_TRUE(centre);
    EXPECT_NEAR(centre->at(0), 495.0, 1.0);
    EXPECT_NEAR(centre->at(1), 277.5, 1.0);
    window.hide();
}

TEST_F(MotionWindowTest, OpenAsksForABvhFileAndShowsItFromFrameOne) {
    chooser.answerWith(samplePath);
    window.open();
    ASSERT_EQ(chooser.calls.size(), 1u);
    EXPECT_EQ(chooser.calls[0].message, "Open BVH File");
    EXPECT_STREQ(chooser.calls[0].pattern, "*.bvh");
    EXPECT_EQ(chooser.calls[0].name, "(none)");

    const Motion* motion = window.view()->motion();
    ASSERT_NE(motion, nullptr);
    const int n = motion->frameCount();
    ASSERT_GT(n, 1);
    const PanelState panel = panelState(*window.panel());
    EXPECT_EQ(panel, (PanelState{1, 1, n, 1, n, panel.fps}));
    EXPECT_NEAR(panel.fps, 30.0f, 0.001f);  // the file says 0.033333 seconds a frame
    EXPECT_EQ(window.view()->frameRow(), 0);
    EXPECT_STREQ(window.label(), "bvhpath - walk_curve.bvh");
}

TEST_F(MotionWindowTest, CancelledDialogsChangeNothing) {
    window.open();
    EXPECT_EQ(window.view()->motion(), nullptr);
    ASSERT_EQ(window.openPath(samplePath), 1);
    const Motion* shown = window.view()->motion();
    const PanelState panel = panelState(*window.panel());
    window.open();
    window.save();
    ASSERT_EQ(chooser.calls.size(), 3u);
    EXPECT_EQ(chooser.calls[2].message, "Save BVH File");
    EXPECT_STREQ(chooser.calls[2].pattern, "*.bvh");
    EXPECT_EQ(chooser.calls[2].name, samplePath) << "the save starts from the current file";
    EXPECT_EQ(window.view()->motion(), shown);
    EXPECT_EQ(panelState(*window.panel()), panel);
}

TEST_F(MotionWindowTest, FailedOpenKeepsThePreviousMotionPanelAndTitle) {
    ASSERT_EQ(window.openPath(samplePath), 1);
    window.panel()->setFrame(17);
    window.panel()->doCommand(PlaybackPanel::Speed24);
    const Motion* shown = window.view()->motion();
    const PanelState panel = panelState(*window.panel());

    const std::string broken = tinyMotion("0.1").replace(0, 9, "HIERARCHIE");
    for (const std::string& path :
         {scratch.file("broken.bvh", broken), scratch.file("absent.bvh")}) {
        SCOPED_TRACE(path);
        chooser.answerWith(path);
        testing::internal::CaptureStdout();
        window.open();
        const std::string said = testing::internal::GetCapturedStdout();
        const std::string name = path.substr(path.rfind('/') + 1);
        EXPECT_EQ(said.rfind(name + ": The Parser could not parse this: ", 0), 0u) << said;
        EXPECT_EQ(said, window.view()->message() + "\n") << "the window shows the console line";
        EXPECT_EQ(window.view()->motion(), shown);
        EXPECT_EQ(window.view()->frameRow(), 16);
        EXPECT_EQ(panelState(*window.panel()), panel);
        EXPECT_STREQ(window.label(), "bvhpath - walk_curve.bvh");
    }
}

TEST_F(MotionWindowTest, FrameTimeSetsThePlaybackSpeedAndZeroMeansZero) {
    window.panel()->doCommand(PlaybackPanel::Speed24);
    ASSERT_EQ(window.openPath(scratch.file("tenth.bvh", tinyMotion("0.1"))), 1);
    EXPECT_FLOAT_EQ(window.panel()->framesPerSecond(), 10.0f);
    EXPECT_EQ(window.panel()->markedSpeed(), PlaybackPanel::SpeedFileRate);
    ASSERT_EQ(window.openPath(scratch.file("zero.bvh", tinyMotion("0"))), 1);
    EXPECT_EQ(window.panel()->framesPerSecond(), 0.0f);
    EXPECT_EQ(window.panel()->player().lastFrame(), 2);
}

TEST_F(MotionWindowTest, SaveBeforeOpenAsksNothingAndSaysSo) {
    const std::string target = scratch.file("never.bvh");
    chooser.answerWith(target);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(window.save());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "No motion to save.\n");
    EXPECT_TRUE(chooser.calls.empty());
    EXPECT_FALSE(exists(target));
    EXPECT_EQ(window.view()->message(), "No motion to save.");
}

TEST_F(MotionWindowTest, SaveWritesTheShownMotionAndKeepsIt) {
    ASSERT_EQ(window.openPath(samplePath), 1);
    const Motion* shown = window.view()->motion();
    const std::string target = scratch.file("saved.bvh");
    chooser.answerWith(target);
    window.save();
    EXPECT_EQ(window.view()->motion(), shown);
    Motion reread;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(loadMotion(target, reread)) << testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(reread.frameCount(), shown->frameCount());
    EXPECT_EQ(reread.joints().size(), shown->joints().size());
}

// File > Export glTF asks as Save does, from the file's name as .glb, and leaves the document's
// file as it was.
TEST_F(MotionWindowTest, ExportGltfAsksAsSaveDoesAndKeepsTheDocumentsFile) {
    ASSERT_EQ(window.openPath(samplePath), 1);
    const std::string target = scratch.file("walk.glb", "old text");
    chooser.answerWith(target);
    for (bool replace : {false, true}) {
        chooser.replace = replace;
        window.menuBar()->picked(window.menuBar()->find_item("&File/Export glTF..."));
    }
    ASSERT_EQ(chooser.calls.size(), 2u);
    EXPECT_EQ(chooser.calls[0].message, "Export glTF File");
    EXPECT_STREQ(chooser.calls[0].pattern, "*.{glb,gltf}");
    EXPECT_EQ(chooser.calls[0].name, replaced(samplePath, ".bvh", ".glb"));
    EXPECT_EQ(chooser.questions, std::vector<std::string>(2, "replace " + target));
    EXPECT_EQ(readWhole(target).substr(0, 4), "glTF");
    EXPECT_EQ(window.document().fileName(), samplePath);
}

// An open names on the console the whole text that an unfinished save of the file left.
TEST_F(MotionWindowTest, OpenTellsOfAnUnfinishedSave) {
    const std::string target = scratch.file("walk.bvh", tinyMotion("0.1"));
    const std::string left = scratch.file("walk.bvh.saving-abcdef", tinyMotion("0.1"));
    testing::internal::CaptureStdout();
    ASSERT_EQ(window.openPath(target), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Note in BVH file output: an earlier save of " + target +
                  " did not finish; its whole text is kept in " + left + "\n");
}

TEST_F(MotionWindowTest, PanelFrameChangesReachTheView) {
    ASSERT_EQ(window.openPath(samplePath), 1);
    window.panel()->setFrame(40);
    EXPECT_EQ(window.view()->frameRow(), 39);
    window.panel()->player().stepBy(1);
    EXPECT_EQ(window.view()->frameRow(), 40);
}

TEST_F(MotionWindowTest, ResetCameraRefitsTheCameraAfterAnOrbit) {
    ASSERT_EQ(window.openPath(samplePath), 1);
    const Camera fitted = window.view()->camera();
    window.view()->panBegin(100, 100);
    window.view()->pan(100, 170);
    EXPECT_NE(window.view()->camera().target[1], fitted.target[1]);
    window.resetCamera();
    EXPECT_EQ(window.view()->camera().target, fitted.target);
    EXPECT_EQ(window.view()->camera().eye, fitted.eye);
}

// Alt+letter typed while the 3D view has the keyboard focus still reaches the menu bar.
TEST_F(MotionWindowTest, AltShortcutsTriggerOpenSaveAndResetCamera) {
    window.show();
    Fl::focus(window.view());
    auto type = [this](char key) {
        static char text[2];
        text[0] = key;
        Fl::e_keysym = key;
        Fl::e_state = FL_ALT;
        Fl::e_text = text;
        Fl::e_length = 1;
        return Fl::handle(FL_KEYBOARD, &window);
    };
    chooser.answerWith(samplePath);
    EXPECT_EQ(type('o'), 1);
    ASSERT_EQ(chooser.calls.size(), 1u);
    EXPECT_EQ(chooser.calls[0].message, "Open BVH File");
    ASSERT_NE(window.view()->motion(), nullptr);

    const std::string target = scratch.file("shortcut.bvh");
    chooser.answerWith(target);
    EXPECT_EQ(type('s'), 1);
    ASSERT_EQ(chooser.calls.size(), 2u);
    EXPECT_EQ(chooser.calls[1].message, "Save BVH File");
    EXPECT_TRUE(exists(target));

    const Camera fitted = window.view()->camera();
    window.view()->panBegin(100, 100);
    window.view()->pan(100, 170);
    EXPECT_EQ(type('r'), 1);
    EXPECT_EQ(window.view()->camera().target, fitted.target);
    window.hide();
}

// Drags control point i of the shown motion sideways through the document, as the view does.
void dragPoint(MotionWindow& window, int i) {
    Document& d = window.document();
    CurvePoint p;
    d.edit()->curve().getPoint(i, p);
    const double h = d.edit()->path().height();
    d.select(i);
    ASSERT_TRUE(d.beginDrag());
    d.dragTo({p.x + 30.0, h + 1.0, p.z}, {p.x + 30.0, h - 1.0, p.z});
    d.commitDrag();
    window.documentChanged();
}

// Sends a key with modifiers to the window as the toolkit would.
int typeKey(MotionWindow& window, int key, int state) {
    static char text[2];
    text[0] = static_cast<char>(key);
    Fl::e_keysym = key;
    Fl::e_state = state;
    Fl::e_text = text;
    Fl::e_length = 1;
    return Fl::handle(FL_KEYBOARD, &window);
}

TEST_F(MotionWindowTest, TitleMarksUnsavedEditsAndUndoRedoShortcutsWalkTheHistory) {
    ASSERT_EQ(window.openPath(samplePath), 1);
    window.show();
    Fl::focus(window.view());
    const Fl_Menu_Item* undoItem = window.menuBar()->find_item("&Edit/&Undo");
    ASSERT_NE(undoItem, nullptr);
    EXPECT_FALSE(undoItem->active());
    dragPoint(window, 2);
    EXPECT_STREQ(window.label(), "bvhpath - walk_curve.bvh*");
    EXPECT_TRUE(undoItem->active());
    EXPECT_EQ(typeKey(window, 'z', FL_CTRL), 1);
    EXPECT_STREQ(window.label(), "bvhpath - walk_curve.bvh");
    EXPECT_FALSE(window.document().canUndo());
    EXPECT_EQ(typeKey(window, 'z', FL_CTRL | FL_SHIFT), 1);
    EXPECT_STREQ(window.label(), "bvhpath - walk_curve.bvh*");
    EXPECT_EQ(typeKey(window, 'z', FL_CTRL), 1);
    EXPECT_EQ(typeKey(window, 'y', FL_CTRL), 1);
    EXPECT_TRUE(window.document().modified());

    // Saving names the saved file in the title and clears the mark; Ctrl+S works too.
    const std::string target = scratch.file("edited.bvh");
    chooser.answerWith(target);
    EXPECT_EQ(typeKey(window, 's', FL_CTRL), 1);
    EXPECT_STREQ(window.label(), "bvhpath - edited.bvh");
    EXPECT_TRUE(exists(target));
    window.hide();
}

TEST_F(MotionWindowTest, PlaybackKeysWorkWhileTheViewHasTheFocus) {
    ASSERT_EQ(window.openPath(samplePath), 1);
    window.show();
    Fl::focus(window.view());
    EXPECT_EQ(typeKey(window, FL_Right, 0), 1);
    EXPECT_EQ(window.view()->frameRow(), 1);
    EXPECT_EQ(typeKey(window, FL_End, 0), 1);
    EXPECT_EQ(window.view()->frameRow(), window.view()->motion()->frameCount() - 1);
    EXPECT_EQ(typeKey(window, FL_Home, 0), 1);
    EXPECT_EQ(window.view()->frameRow(), 0);
    EXPECT_EQ(typeKey(window, ' ', 0), 1);
    EXPECT_TRUE(window.panel()->player().isPlaying());
    EXPECT_EQ(typeKey(window, ' ', 0), 1);
    EXPECT_FALSE(window.panel()->player().isPlaying());
    EXPECT_EQ(Fl::focus(), window.view()) << "the keys leave the focus where it was";
    window.hide();
}

TEST_F(MotionWindowTest, TheFileMenuReadsTheMotionAgainAsTheUserSays) {
    MainMenuBar& menu = *window.menuBar();
    EXPECT_FALSE(menu.find_item("&File/Up Axis/Z")->active()) << "nothing to read without a motion";
    ASSERT_EQ(window.openPath(samplePath), 1);
    menu.syncMarks();
    EXPECT_TRUE(menu.find_item("&File/Up Axis/Y")->value());
    EXPECT_FALSE(menu.find_item("&File/Up Axis/Z")->value());
    EXPECT_TRUE(menu.find_item("&File/Position Channels/Offset Plus Value")->value());

    // Reading again drops the edit: the user is asked first, and Cancel keeps everything.
    dragPoint(window, 3);
    menu.picked(menu.find_item("&File/Up Axis/Z"));
    ASSERT_EQ(chooser.questions.size(), 1u);
    EXPECT_EQ(window.view()->motion()->upAxis(), UpAxis::Y);
    EXPECT_TRUE(window.document().modified());

    chooser.unsavedAnswer = MotionWindow::DiscardAnswer;
    menu.picked(menu.find_item("&File/Up Axis/Z"));
    EXPECT_EQ(window.view()->motion()->upAxis(), UpAxis::Z);
    EXPECT_FALSE(window.document().canUndo());
    EXPECT_TRUE(menu.find_item("&File/Up Axis/Z")->value());
    EXPECT_FALSE(menu.find_item("&File/Up Axis/Y")->value());
    menu.picked(menu.find_item("&File/Position Channels/Value Replaces Offset"));
    EXPECT_EQ(window.view()->motion()->positionChannels(), PositionChannels::ValueReplacesOffset);
    EXPECT_EQ(window.view()->motion()->upAxis(), UpAxis::Z) << "the other choice stays";
}

TEST_F(MotionWindowTest, ChooseFeetAsksForTheAnklesStartingFromTheOnesInUse) {
    ASSERT_EQ(window.openPath(samplePath), 1);
    std::vector<std::string> joints, asked;
    std::optional<std::vector<std::string>> answer = std::vector<std::string>{};
    window.askFeet = [&](const std::vector<std::string>& all, const std::vector<std::string>& in) {
        joints = all;
        asked = in;
        return answer;
    };
    window.chooseFeet();
    EXPECT_EQ(asked, (std::vector<std::string>{"LeftFoot", "RightFoot"})) << "the automatic choice";
    EXPECT_EQ(joints.size(), 22u) << "every joint, no End Site";
    EXPECT_EQ(joints.front(), "Hips");
    ASSERT_EQ(window.view()->edit()->feet().size(), 2u);
    EXPECT_EQ(window.view()->message(), "");

    // A joint that is no ankle is refused where the user looks, and the feet stay.
    answer = std::vector<std::string>{"Hips", "RightFoot"};
    testing::internal::CaptureStdout();
    window.chooseFeet();
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(said.empty());
    EXPECT_EQ(said, window.view()->message() + "\n");
    EXPECT_EQ(window.view()->edit()->feet().size(), 2u);
    // Cancel changes nothing.
    answer = std::nullopt;
    window.view()->setMessage("");
    window.chooseFeet();
    EXPECT_EQ(window.view()->edit()->feet().size(), 2u);
    EXPECT_EQ(window.view()->message(), "");
    // Planted feet: nothing is asked, and the view says why.
    asked.clear();
    ASSERT_TRUE(window.document().setFeetPlanted(true));
    testing::internal::CaptureStdout();
    window.chooseFeet();
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(window.view()->message(), "Let the feet go before choosing them.");
}

TEST_F(MotionWindowTest, UnsavedEditsAskBeforeAnotherOpenOrAClose) {
    ASSERT_EQ(window.openPath(samplePath), 1);
    const std::string other = scratch.file("tenth.bvh", tinyMotion("0.1"));
    chooser.answerWith(other);
    // Nothing to lose: no question.
    window.open();
    EXPECT_TRUE(chooser.questions.empty());
    ASSERT_EQ(window.view()->motion()->frameCount(), 2);

    ASSERT_EQ(window.openPath(samplePath), 1);
    dragPoint(window, 3);
    const Motion* edited = window.view()->motion();
    // Cancel keeps everything and opens no chooser.
    chooser.calls.clear();
    window.open();
    ASSERT_EQ(chooser.questions.size(), 1u);
    EXPECT_EQ(chooser.questions[0], "unsaved " + samplePath);
    EXPECT_TRUE(chooser.calls.empty());
    EXPECT_EQ(window.view()->motion(), edited);
    window.show();
    window.quit();
    EXPECT_TRUE(window.shown()) << "cancel keeps the window open";

    // Save whose chooser is cancelled cancels the open too.
    chooser.unsavedAnswer = MotionWindow::SaveAnswer;
    chooser.answer = nullptr;
    window.open();
    EXPECT_EQ(window.view()->motion(), edited);
    EXPECT_TRUE(window.document().modified());

    // Save onto the loaded file asks to replace it; refusing keeps the file and the open.
    chooser.answerWith(samplePath);
    chooser.questions.clear();
    window.open();
    ASSERT_EQ(chooser.questions.size(), 2u);
    EXPECT_EQ(chooser.questions[1], "replace " + samplePath);
    EXPECT_EQ(window.view()->motion(), edited);

    // Save to a new file, then the open goes on with the file it asked for.
    const std::string target = scratch.file("kept.bvh");
    int chooserAnswers = 0;
    window.chooseFile = [&](const char* message, const char*, const char*) -> const char* {
        ++chooserAnswers;
        return std::string(message) == "Save BVH File" ? target.c_str() : other.c_str();
    };
    window.open();
    EXPECT_EQ(chooserAnswers, 2);
    EXPECT_TRUE(exists(target));
    EXPECT_EQ(window.view()->motion()->frameCount(), 2);
    EXPECT_STREQ(window.label(), "bvhpath - tenth.bvh");

    // Discard closes without saving.
    ASSERT_EQ(window.openPath(samplePath), 1);
    dragPoint(window, 3);
    chooser.unsavedAnswer = MotionWindow::DiscardAnswer;
    window.quit();
    EXPECT_FALSE(window.shown());
}

TEST_F(MotionWindowTest, DroppedFilesOpenAfterTheDropWithTheSameQuestion) {
    const std::string spaced = scratch.file("a walk #2.bvh", tinyMotion("0.1"));
    window.show();
    Fl::e_text = const_cast<char*>("file:///nonexistent/x.bvh");
    Fl::e_length = 25;
    EXPECT_EQ(window.handle(FL_DND_ENTER), 1);
    EXPECT_EQ(window.handle(FL_DND_RELEASE), 1);
    const std::string uri = "file://" + replaced(spaced, " ", "%20") + "\r\n";
    Fl::e_text = const_cast<char*>(uri.c_str());
    Fl::e_length = static_cast<int>(uri.size());
    EXPECT_EQ(window.handle(FL_PASTE), 1);
    EXPECT_EQ(window.view()->motion(), nullptr) << "opened only once the drop is over";
    for (int i = 0; i < 20 && !window.view()->motion(); ++i)
        Fl::wait(0.01);
    ASSERT_NE(window.view()->motion(), nullptr);
    EXPECT_EQ(window.document().fileName(), spaced);
    window.hide();
}

TEST(DroppedFiles, FirstLocalFileOfTheDropText) {
    EXPECT_EQ(firstDroppedPath("file:///home/a%20b/walk%232.bvh\r\nfile:///x.bvh\r\n"),
              "/home/a b/walk#2.bvh");
    EXPECT_EQ(firstDroppedPath("# comment\nfile://localhost/tmp/w.bvh"), "/tmp/w.bvh");
    EXPECT_EQ(firstDroppedPath("/plain/path.bvh\n"), "/plain/path.bvh");
    EXPECT_EQ(firstDroppedPath("file://otherhost/tmp/w.bvh"), "");
    EXPECT_EQ(firstDroppedPath("http://example.org/w.bvh"), "");
    EXPECT_EQ(firstDroppedPath("file:///bad%zz%4"), "/bad%zz%4");
    EXPECT_EQ(firstDroppedPath(""), "");
}

}  // namespace

namespace {

// Selection > Keep Speed: its check mark shows it, the panel counts the retimed frames, the
// current frame and the play range's ends stay on the same moments of the capture, and undo
// brings the captured frames back.
TEST_F(MotionWindowTest, KeepSpeedRetimesThePanelsFramesAtTheSameMoments) {
    ASSERT_EQ(window.openPath(samplePath), 1);
    dragPoint(window, 3);
    Player& player = window.panel()->player();
    player.setPlayRange(51, 251);
    player.setFrame(151);
    MainMenuBar& menu = *window.menuBar();
    menu.picked(menu.find_item("&Selection/Keep Speed"));
    const PathEdit& edit = *window.document().edit();
    ASSERT_TRUE(edit.keepSpeed());
    EXPECT_TRUE(menu.find_item("&Selection/Keep Speed")->value());
    EXPECT_NE(edit.frameCount(), 300) << "the drag changed the path's length";
    EXPECT_EQ(player.lastFrame(), edit.frameCount());
    EXPECT_EQ(edit.edited().capturedFrame(player.rangeStart() - 1), 50);
    EXPECT_EQ(edit.edited().capturedFrame(player.rangeEnd() - 1), 250);
    EXPECT_EQ(edit.edited().capturedFrame(player.frame() - 1), 150);
    EXPECT_EQ(window.view()->frameRow(), player.frame() - 1);

    window.undo();
    EXPECT_FALSE(menu.find_item("&Selection/Keep Speed")->value());
    EXPECT_EQ(player.lastFrame(), 300);
    EXPECT_EQ(player.rangeStart(), 51);
    EXPECT_EQ(player.rangeEnd(), 251);
    EXPECT_EQ(player.frame(), 151);
}

}  // namespace
