#include "app/feet_dialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>

#include <algorithm>
#include <array>

namespace {

enum class Answer { None, Ok, Automatic, Cancel };

class AnkleDialog : public Fl_Window {
  public:
    AnkleDialog(const std::vector<std::string>& joints, const std::vector<std::string>& current)
        : Fl_Window(440, 400, "Choose Feet"),
          lists_{{{10, 30, 205, 310, "Left ankle"}, {225, 30, 205, 310, "Right ankle"}}},
          automatic_(10, 360, 100, 28, "Automatic"),
          cancel_(220, 360, 100, 28, "Cancel"),
          ok_(330, 360, 100, 28, "OK") {
        for (std::size_t foot = 0; foot < lists_.size(); ++foot) {
            Fl_Hold_Browser& list = lists_[foot];
            list.align(FL_ALIGN_TOP_LEFT);
            list.format_char(0);  // joint names are shown as they are, '@' included
            for (const std::string& joint : joints)
                list.add(joint.c_str());
            const auto at = foot < current.size()
                                ? std::find(joints.begin(), joints.end(), current[foot])
                                : joints.end();
            if (at != joints.end()) {
                list.select(static_cast<int>(at - joints.begin()) + 1);
                list.middleline(list.value());
            }
            list.callback(picked, this);
        }
        automatic_.callback(answered<Answer::Automatic>, this);
        cancel_.callback(answered<Answer::Cancel>, this);
        ok_.callback(answered<Answer::Ok>, this);
        picked(nullptr, this);
        end();
        // Escape and the window manager's close call the window's callback.
        callback(answered<Answer::Cancel>, this);
        set_modal();
    }

    std::optional<std::vector<std::string>> ask() {
        show();
        while (answer_ == Answer::None && shown())
            Fl::wait();
        hide();
        if (answer_ == Answer::Automatic)
            return std::vector<std::string>();
        if (answer_ != Answer::Ok)
            return std::nullopt;
        return std::vector<std::string>{lists_[0].text(lists_[0].value()),
                                        lists_[1].text(lists_[1].value())};
    }

  private:
    // OK waits until both feet have an ankle.
    static void picked(Fl_Widget*, void* dialog) {
        auto* self = static_cast<AnkleDialog*>(dialog);
        if (self->lists_[0].value() > 0 && self->lists_[1].value() > 0)
            self->ok_.activate();
        else
            self->ok_.deactivate();
    }
    template <Answer A>
    static void answered(Fl_Widget*, void* dialog) {
        static_cast<AnkleDialog*>(dialog)->answer_ = A;
    }

    std::array<Fl_Hold_Browser, 2> lists_;
    Fl_Button automatic_;
    Fl_Button cancel_;
    Fl_Return_Button ok_;
    Answer answer_ = Answer::None;
};

}  // namespace

std::optional<std::vector<std::string>> askAnkles(const std::vector<std::string>& joints,
                                                  const std::vector<std::string>& current) {
    AnkleDialog dialog(joints, current);
    return dialog.ask();
}
