#include "app/number_dialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Float_Input.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

enum class Answer { None, Ok, Cancel };

class NumberDialog : public Fl_Window {
  public:
    NumberDialog(const std::string& title, const std::vector<std::string>& labels,
                 const std::vector<double>& initial)
        : Fl_Window(440, 60 + 36 * static_cast<int>(labels.size()), title.c_str()) {
        begin();
        for (std::size_t i = 0; i < labels.size(); ++i) {
            auto field =
                std::make_unique<Fl_Float_Input>(150, 12 + 36 * static_cast<int>(i), 160, 26);
            field->copy_label(labels[i].c_str());
            field->value(numberText(i < initial.size() ? initial[i] : 0.0).c_str());
            fields_.push_back(std::move(field));
        }
        const int y = h() - 40;
        cancel_ = std::make_unique<Fl_Button>(230, y, 95, 28, "Cancel");
        ok_ = std::make_unique<Fl_Return_Button>(335, y, 95, 28, "OK");
        end();
        cancel_->shortcut(FL_Escape);
        cancel_->callback(answered<Answer::Cancel>, this);
        ok_->callback(answered<Answer::Ok>, this);
        callback(answered<Answer::Cancel>, this);
        set_modal();
    }
    ~NumberDialog() override {
        // The widgets are owned here; they leave the window before it goes.
        for (auto& field : fields_)
            remove(field.get());
        remove(cancel_.get());
        remove(ok_.get());
    }

    std::optional<std::vector<double>> run() {
        show();
        if (!fields_.empty()) {
            fields_.front()->take_focus();
            fields_.front()->position(0, fields_.front()->size());
        }
        while (shown()) {
            answer_ = Answer::None;
            while (answer_ == Answer::None && shown())
                Fl::wait();
            if (answer_ != Answer::Ok)
                return std::nullopt;
            std::vector<double> values;
            for (auto& field : fields_) {
                const std::optional<double> v = numberIn(field->value());
                field->color(v ? FL_BACKGROUND2_COLOR : fl_rgb_color(255, 200, 200));
                field->redraw();
                if (v)
                    values.push_back(*v);
            }
            if (values.size() == fields_.size()) {
                hide();
                return values;
            }
        }
        return std::nullopt;
    }

  private:
    template <Answer A>
    static void answered(Fl_Widget*, void* dialog) {
        static_cast<NumberDialog*>(dialog)->answer_ = A;
    }

    std::vector<std::unique_ptr<Fl_Float_Input>> fields_;
    std::unique_ptr<Fl_Button> cancel_;
    std::unique_ptr<Fl_Return_Button> ok_;
    Answer answer_ = Answer::None;
};

}  // namespace

std::optional<std::vector<double>> askNumbers(const std::string& title,
                                              const std::vector<std::string>& labels,
                                              const std::vector<double>& initial) {
    NumberDialog dialog(title, labels, initial);
    return dialog.run();
}

std::string numberText(double value) {
    char text[64];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
    return std::string(text, end.ptr);
}

std::optional<double> numberIn(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    while (end && *end == ' ')
        ++end;
    if (end == begin || (end && *end != '\0') || !std::isfinite(v))
        return std::nullopt;
    return v;
}
