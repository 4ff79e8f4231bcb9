#include "app/motion_window.h"

#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Menu_Bar.H>

#include <memory>

#include "app/main_menu.h"
#include "motion/motion.h"
#include "playback/playback_panel.h"
#include "view/motion_view.h"

namespace {

void frameChangeCallback(Fl_Widget*, void* window) {
    static_cast<MotionWindow*>(window)->frameChanged();
}

// The window title: the program's name, followed by the loaded file's name.
std::string titleFor(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    return "bvhpath - " + (slash == std::string::npos ? path : path.substr(slash + 1));
}

}  // namespace

MotionWindow::MotionWindow() : Fl_Window(100, 100, 800, 900), title_("bvhpath") {
    chooseFile = [](const char* message, const char* pattern, const char* name) -> const char* {
        return fl_file_chooser(message, pattern, name);
    };
    // Left to us: the title names the program, and the file once one is loaded.
    label(title_.c_str());
    view_ = new MotionView(5, 35, 790, 755);
    auto* menuBar = new MainMenuBar(0, 0, 800, 30);
    menuBar->textcolor(37);
    panel_ = new PlaybackPanel(5, 795, 790, 100);
    panel_->callback(frameChangeCallback, this);
    end();
}

void MotionWindow::open() {
    const char* chosen = chooseFile("Open BVH File", "*.bvh", nullptr);
    if (chosen == nullptr) {
        return;
    }
    // The chooser answers from a buffer of its own; keep a copy before anything else runs.
    openPath(std::string(chosen));
}

int MotionWindow::openPath(const std::string& path) {
    auto motion = std::make_unique<Motion>();
    const Result loaded = motion->load(path);
    if (!loaded) {
        printToConsole(loaded);
        return 0;
    }
    const int frameCount = motion->frameCount();
    const float frameTime = motion->frameTime();
    view_->setMotion(std::move(motion));
    view_->redraw();
    panel_->setFrameRange(1, frameCount);
    panel_->setPlayRange(1, frameCount);
    panel_->redraw();
    panel_->setFrame(1);
    panel_->setFramesPerSecond(frameTime == 0.0f ? 0.0f : 1.0f / frameTime);
    view_->setFrame(1);
    view_->damage(1);
    title_ = titleFor(path);
    label(title_.c_str());
    return 1;
}

void MotionWindow::save() {
    const char* chosen = chooseFile("Save BVH File", nullptr, nullptr);
    if (chosen == nullptr) {
        return;
    }
    const std::string path(chosen);
    if (view_->motion() == nullptr) {
        return;
    }
    printToConsole(view_->motion()->save(path));
}

void MotionWindow::resetCamera() {
    view_->resetCamera();
    view_->redraw();
}

void MotionWindow::frameChanged() {
    view_->setFrame(panel_->frame());
    view_->updatePose();
    view_->damage(1);
}
