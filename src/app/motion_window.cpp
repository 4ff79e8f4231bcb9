#include "app/motion_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Bar.H>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "app/dialogs.h"
#include "app/dropped_files.h"
#include "app/feet_dialog.h"
#include "app/file_chooser.h"
#include "app/main_menu.h"
#include "app/number_dialog.h"
#include "app/progress_box.h"
#include "document/time_warp.h"
#include "feet/foot_contacts.h"
#include "motion/motion.h"
#include "playback/playback_panel.h"
#include "view/motion_view.h"

namespace {

void frameChangeCallback(Fl_Widget*, void* window) {
    static_cast<MotionWindow*>(window)->frameChanged();
}

void viewEditedCallback(Fl_Widget*, void* window) {
    static_cast<MotionWindow*>(window)->documentChanged();
}

// The window manager's close button and Escape end here.
void closeCallback(Fl_Widget* window, void*) {
    static_cast<MotionWindow*>(window)->quit();
}

std::string baseName(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A drop is opened once the drag and drop exchange is over: a question asked from inside it
// would stall the application the file came from.
struct PendingDrop {
    MotionWindow* window;
    std::string text;
};

void openPendingDrop(void* data) {
    std::unique_ptr<PendingDrop> drop(static_cast<PendingDrop*>(data));
    drop->window->openDropped(drop->text);
}

}  // namespace

MotionWindow::MotionWindow() : Fl_Window(100, 100, 800, 900), title_("bvhpath") {
    chooseFile = chooseFileName;
    askUnsaved = [](const std::string& fileName) {
        const int answer =
            askChoice("Unsaved changes", "Save the changes to " + baseName(fileName) + " first?",
                      {"Cancel", "Discard", "Save"}, 2, 0);
        return answer == 2 ? SaveAnswer : answer == 1 ? DiscardAnswer : CancelAnswer;
    };
    // Cancel is the default: a save rounds to four decimals, so one Enter must not overwrite
    // the original capture.
    confirmReplace = [](const std::string& fileName) {
        return askChoice("Replace file", baseName(fileName) + " already exists. Replace it?",
                         {"Replace", "Cancel"}, 1, 1) == 0;
    };
    askFeet = askAnkles;
    askValues = askNumbers;
    confirmDropEdits = [] {
        return askChoice("Path Detail",
                         "A new detail fits the path again and drops the edits made to it (Undo "
                         "brings them back). Go on?",
                         {"Cancel", "Change"}, 1, 0) == 1;
    };
    // Left to us: the title names the program, and the file once one is loaded.
    label(title_.c_str());
    view_ = new MotionView(5, 35, 790, 755);
    view_->callback(viewEditedCallback, this);
    menuBar_ = new MainMenuBar(0, 0, 800, 30);
    menuBar_->textcolor(37);
    panel_ = new PlaybackPanel(5, 795, 790, 100);
    panel_->callback(frameChangeCallback, this);
    view_->setDocument(&document_);
    end();
    callback(closeCallback);
    // Legs that take long to solve again are solved on the worker, the window drawing meanwhile.
    document_.setPlanting(Document::Planting::OnWorkerWhenSlow);
    // The view takes whatever the window gains or loses; the menu bar stretches with the width
    // and the panel, keeping its height, follows the bottom edge.
    resizable(view_);
    size_range(kMinimumWidth, kMinimumHeight);
    fitToScreen();
}

void MotionWindow::fitToScreen() {
    int x = 0, y = 0, width = 0, height = 0;
    Fl::screen_work_area(x, y, width, height);
    // Leave room for the window manager's title bar and borders.
    const int fitW = std::max(kMinimumWidth, std::min(w(), width - 16));
    const int fitH = std::max(kMinimumHeight, std::min(h(), height - 48));
    if (fitW != w() || fitH != h())
        resize(std::max(x, std::min(this->x(), x + width - fitW)),
               std::max(y, std::min(this->y(), y + height - fitH)), fitW, fitH);
}

void MotionWindow::report(const Result& result) {
    printToConsole(result);
    if (!result)
        view_->setMessage(result.message);
}

void MotionWindow::reportAbout(const std::string& path, Result result) {
    if (!result)
        result.message = baseName(path) + ": " + result.message;
    report(result);
}

bool MotionWindow::settleUnsavedWork() {
    if (!document_.modified())
        return true;
    switch (askUnsaved(document_.fileName())) {
        case SaveAnswer:
            return save();
        case DiscardAnswer:
            return true;
        default:
            return false;
    }
}

void MotionWindow::open() {
    if (document_.busy())
        return;
    view_->setMessage("");
    if (!settleUnsavedWork())
        return;
    const char* chosen = chooseFile("Open BVH File", "*.bvh", nullptr);
    if (chosen == nullptr) {
        return;
    }
    // The chooser answers from a buffer of its own; keep a copy before anything else runs.
    openPath(std::string(chosen));
}

void MotionWindow::openDropped(const std::string& dropText) {
    const std::string path = firstDroppedPath(dropText);
    if (path.empty() || document_.busy())
        return;
    view_->setMessage("");
    if (settleUnsavedWork())
        openPath(path);
}

bool MotionWindow::waitFor(BackgroundJob& job, const std::string& what, bool cancellable) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<ProgressBox> box;
    runningJob_ = &job;
    while (!job.done()) {
        const std::chrono::duration<double> sinceQuit =
            std::chrono::steady_clock::now() - quitAsked_;
        if (quitWhenDone_ && sinceQuit.count() > kStopDelay)
            break;
        Fl::wait(0.05);
        const std::chrono::duration<double> running = std::chrono::steady_clock::now() - start;
        if (!box && running.count() > kProgressDelay) {
            box = std::make_unique<ProgressBox>(what, job.progress(), cancellable);
            box->show();
        }
        if (box)
            box->update();
    }
    runningJob_ = nullptr;
    return job.done();
}

bool MotionWindow::quitIfAsked() {
    if (!quitWhenDone_)
        return false;
    quitWhenDone_ = false;
    quit();
    return true;
}

namespace {

// The worker's last act: wake the toolkit's loop, which then takes the result.
void wakeToolkit() {
    Fl::awake();
}

}  // namespace

int MotionWindow::openPath(const std::string& path) {
    std::unique_ptr<BackgroundJob> job = document_.startOpen(path, wakeToolkit);
    if (!job) {
        return 0;  // another load or save runs
    }
    if (!waitFor(*job, "Opening " + baseName(path))) {
        document_.abandon(std::move(job));
        quitIfAsked();
        return 0;
    }
    // The hand-over: the worker built its motion alone and touched nothing the view draws; here,
    // on the toolkit's thread, the document takes it whole.
    const Result loaded = document_.finishOpen(*job);
    job.reset();
    if (!loaded) {
        // A cancel leaves everything as it was and needs no message.
        if (loaded.message != Progress::kCancelled)
            reportAbout(path, loaded);
        quitIfAsked();
        return 0;
    }
    printToConsole(loaded);  // a note of what an unfinished save left
    view_->setMessage("");
    const int frameCount = document_.motion()->frameCount();
    const float frameTime = document_.motion()->frameTime();
    view_->setDocument(&document_);
    view_->redraw();
    shownTiming_ = document_.edit()->timing();
    panel_->setFrameRange(1, frameCount);
    panel_->setPlayRange(1, frameCount);
    panel_->redraw();
    panel_->setFrame(1);
    panel_->setFileRate(frameTime == 0.0f ? 0.0f : 1.0f / frameTime);
    view_->setFrame(1);
    view_->damage(1);
    documentChanged();
    quitIfAsked();
    return 1;
}

bool MotionWindow::save() {
    if (document_.busy())
        return false;
    view_->setMessage("");
    if (document_.motion() == nullptr) {
        report(Result::failure("No motion to save."));
        return false;
    }
    const std::string current = document_.fileName();
    const char* chosen = chooseFile("Save BVH File", "*.bvh", current.c_str());
    if (chosen == nullptr) {
        return false;
    }
    const std::string path(chosen);
    if (access(path.c_str(), F_OK) == 0 && !confirmReplace(path)) {
        return false;
    }
    Result saved;
    std::unique_ptr<BackgroundJob> job = document_.startSave(path, wakeToolkit, saved);
    if (job) {
        if (!waitFor(*job, "Saving " + baseName(path))) {
            document_.abandon(std::move(job));
            quitIfAsked();
            return false;
        }
        saved = document_.finishSave(*job);
    }
    // A cancelled save left the file as it was; nothing to tell.
    if (saved.message != Progress::kCancelled)
        reportAbout(path, saved);
    documentChanged();
    quitIfAsked();
    return static_cast<bool>(saved);
}

namespace {

// The file beside `path` named as it is, with ".glb" in place of its extension.
std::string glbBeside(const std::string& path) {
    const std::string::size_type dot = path.find_last_of('.');
    const std::string::size_type slash = path.find_last_of('/');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + ".glb";
}

}  // namespace

void MotionWindow::exportGltf() {
    if (document_.busy())
        return;
    view_->setMessage("");
    if (document_.motion() == nullptr) {
        report(Result::failure("No motion to export."));
        return;
    }
    const std::string preset = glbBeside(document_.fileName());
    const char* chosen = chooseFile("Export glTF File", "*.{glb,gltf}", preset.c_str());
    if (chosen == nullptr)
        return;
    const std::string path(chosen);
    if (access(path.c_str(), F_OK) == 0 && !confirmReplace(path))
        return;
    Result exported;
    std::unique_ptr<BackgroundJob> job = document_.startExport(path, wakeToolkit, exported);
    if (job) {
        if (!waitFor(*job, "Exporting " + baseName(path))) {
            document_.abandon(std::move(job));
            quitIfAsked();
            return;
        }
        exported = document_.finishExport(*job);
    }
    if (exported.message != Progress::kCancelled)
        reportAbout(path, exported);
    quitIfAsked();
}

void MotionWindow::quit() {
    if (document_.busy()) {
        // Closing while a file is read or written stops that first; the window closes once it
        // has stopped.
        if (!quitWhenDone_)
            quitAsked_ = std::chrono::steady_clock::now();
        quitWhenDone_ = true;
        if (runningJob_ != nullptr)
            runningJob_->progress().cancel();
        return;
    }
    view_->setMessage("");
    if (settleUnsavedWork())
        hide();
}

LoadOptions MotionWindow::currentReading() const {
    LoadOptions reading;
    if (const Motion* motion = document_.motion()) {
        reading.upAxis = motion->upAxis();
        reading.positionChannels = motion->positionChannels();
    }
    return reading;
}

void MotionWindow::readAs(const LoadOptions& reading) {
    view_->setMessage("");
    if (document_.busy() || document_.motion() == nullptr || !settleUnsavedWork())
        return;
    Result reread;
    std::unique_ptr<BackgroundJob> job = document_.startReread(reading, wakeToolkit, reread);
    if (job) {
        if (!waitFor(*job, "Reading " + baseName(document_.fileName()) + " again")) {
            document_.abandon(std::move(job));
            quitIfAsked();
            return;
        }
        reread = document_.finishReread(*job);
    }
    if (reread.message != Progress::kCancelled)
        report(reread);
    if (reread) {
        const int frame = panel_->frame();
        view_->setDocument(&document_);
        view_->setFrame(frame);
        view_->redraw();
    }
    documentChanged();
}

void MotionWindow::undo() {
    view_->setMessage("");
    if (document_.undo()) {
        documentChanged();
        view_->redraw();
    }
}

void MotionWindow::redo() {
    view_->setMessage("");
    if (document_.redo()) {
        documentChanged();
        view_->redraw();
    }
}

void MotionWindow::toggleFeetPlanted() {
    view_->setMessage("");
    if (document_.busy())
        return;
    Result result;
    std::unique_ptr<BackgroundJob> job =
        document_.startFeetPlanted(!document_.feetPlanted(), wakeToolkit, result);
    if (job) {
        if (!waitFor(*job, "Planting the feet")) {
            document_.abandon(std::move(job));
            quitIfAsked();
            return;
        }
        result = document_.finishFeetPlanted(*job);
    }
    if (!result && result.message != Progress::kCancelled)
        report(result);
    documentChanged();
    view_->redraw();
    quitIfAsked();
}

void MotionWindow::plantStaleFeet() {
    std::unique_ptr<BackgroundJob> job = document_.startPlanting(wakeToolkit);
    if (!job)
        return;
    // The solve completes the change that made the legs stale, so it runs to its end.
    if (!waitFor(*job, "Planting the feet", false)) {
        document_.abandon(std::move(job));
        return;
    }
    document_.finishPlanting(*job);
    view_->redraw();
}

MotionWindow::~MotionWindow() {
    Fl::remove_timeout(measureStepCallback, this);
}

void MotionWindow::measureWhenIdle() {
    if (document_.measuresPending() && !measuring_) {
        measuring_ = true;
        Fl::add_timeout(0.0, measureStepCallback, this);
    }
}

void MotionWindow::measureStepCallback(void* window) {
    auto* self = static_cast<MotionWindow*>(window);
    self->document_.measureStep();
    if (self->document_.measuresPending()) {
        Fl::repeat_timeout(0.0, measureStepCallback, window);
        return;
    }
    self->measuring_ = false;
    self->view_->redraw();
}

void MotionWindow::toggleKeepSpeed() {
    view_->setMessage("");
    if (document_.busy())
        return;
    const Result result = document_.setKeepSpeed(!document_.keepSpeed());
    if (!result)
        report(result);
    documentChanged();
    view_->redraw();
}

void MotionWindow::chooseFeet() {
    view_->setMessage("");
    const Motion* motion = document_.motion();
    if (motion == nullptr)
        return;
    // Planted feet are refused before anything is asked, with the reason.
    const Result allowed = document_.canChooseFeet();
    if (!allowed) {
        report(allowed);
        return;
    }
    // Any joint but an End Site, which ends a chain, may be an ankle.
    std::vector<std::string> joints;
    for (const Joint* joint : motion->joints()) {
        if (joint->firstChild() != nullptr || joint->name() != "End Site")
            joints.push_back(joint->name());
    }
    // The ankles in use, or those the automatic choice would take.
    std::vector<LegChain> legs;
    for (const Foot& foot : document_.edit()->feet())
        legs.push_back(foot.leg);
    if (legs.empty())
        legs = findLegs(*motion);
    std::vector<std::string> current;
    for (const LegChain& leg : legs) {
        if (leg.ankle >= 0)
            current.push_back(motion->joints()[static_cast<std::size_t>(leg.ankle)]->name());
    }
    const std::optional<std::vector<std::string>> ankles = askFeet(joints, current);
    if (!ankles)
        return;
    report(document_.chooseFeet(*ankles));
    documentChanged();
    view_->redraw();
}

void MotionWindow::resetCamera() {
    view_->setMessage("");
    view_->resetCamera();
    view_->redraw();
}

void MotionWindow::frameChanged() {
    view_->setFrame(panel_->frame());
    view_->damage(1);
}

void MotionWindow::documentChanged() {
    // An undo, a redo or an edit of a long motion left its planted legs to the worker.
    plantStaleFeet();
    measureWhenIdle();
    updateTitle();
    menuBar_->syncMarks();
    followTiming();
}

// When the length changes (Keep Speed switched, or an edit, undo or redo retiming the motion),
// the current frame and each end of the play range move to the frame that shows the same moment
// of the capture, so the range keeps covering the same part of the motion (a whole range stays
// whole).
void MotionWindow::followTiming() {
    const PathEdit* edit = document_.edit();
    if (edit == nullptr || edit->timing() == shownTiming_)
        return;
    const int captured = edit->motion().frameCount();
    const auto carry = [&](int n) {
        const double moment = capturedTimeAt(shownTiming_.get(), n - 1);
        return frameNearest(edit->timing().get(), captured, moment) + 1;
    };
    Player& player = panel_->player();
    const int start = carry(player.rangeStart());
    const int end = carry(player.rangeEnd());
    const int frame = carry(player.frame());
    shownTiming_ = edit->timing();
    player.setFrameRange(1, edit->frameCount());
    player.setPlayRange(start, end);
    // Playing goes on from the same moment.
    player.jumpTo(frame);
    panel_->redraw();
}

void MotionWindow::updateTitle() {
    if (document_.motion() == nullptr)
        title_ = "bvhpath";
    else
        title_ = "bvhpath - " + baseName(document_.fileName()) + (document_.modified() ? "*" : "");
    label(title_.c_str());
}

int MotionWindow::handle(int event) {
    switch (event) {
        case FL_SHORTCUT: {
            const int state = Fl::event_state() & (FL_CTRL | FL_ALT | FL_META | FL_SHIFT);
            const int key = Fl::event_key();
            if (state == FL_CTRL && key == 'o') {
                open();
                return 1;
            }
            if (state == FL_CTRL && key == 's') {
                save();
                return 1;
            }
            if (state == FL_CTRL && key == 'y') {
                redo();
                return 1;
            }
            // Space, the arrows, Home and End play and step wherever the keyboard focus is
            // (the frame field, while edited, keeps them); the falloff keys reach the view even
            // when another widget gave the focus back to the window.
            if (state == 0 && panel_->handlePlaybackKey(key))
                return 1;
            if (state == 0 && (key == 'q' || key == 'w') && Fl::focus() != view_)
                return view_->handle(FL_KEYBOARD);
            break;
        }
        // The whole window takes drops, the view included. The toolkit hands the release (and
        // then the dropped text) to the widget below the mouse, so the window makes itself that
        // widget: a drag holds the pointer, and the view below it would refuse the release.
        case FL_DND_ENTER:
        case FL_DND_DRAG:
            Fl::belowmouse(this);
            return 1;
        case FL_DND_LEAVE:
        case FL_DND_RELEASE:
            return 1;
        case FL_PASTE:
            Fl::add_timeout(0.0, openPendingDrop, new PendingDrop{this, Fl::event_text()});
            return 1;
        default:
            break;
    }
    return Fl_Window::handle(event);
}
