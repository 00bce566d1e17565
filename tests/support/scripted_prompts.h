#pragma once

// A Prompts implementation for tests: it records everything the program
// shows and answers questions and dialogs from queues the test fills.
// Constructing one installs it; destroying it returns to the console
// prompts. A question that finds its queue empty fails the test and is
// answered No/Cancel.

#include "platform/prompts.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace plovex::test {

class ScriptedPrompts : public Prompts {
public:
    enum class Kind { Message, Box, Confirm, Error, Input, FileDialog, ColorDialog, Dialog, PrintPreview };

    struct Shown {
        Kind kind;
        QString caption; // Box and Input only
        QString text;    // message, box text, question, error text, input prompt
        MessageIcon icon = MessageIcon::None;
    };

    ScriptedPrompts() { SetPrompts(this); }
    ~ScriptedPrompts() override { SetPrompts(nullptr); }
    ScriptedPrompts(const ScriptedPrompts&) = delete;
    ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;

    // Everything shown, in order.
    std::vector<Shown> shown;
    // Runs as each thing is shown, before it is answered: a test can look
    // at the state of the program at that moment.
    std::function<void(const Shown&)> onShown;

    // Answers, consumed in order.
    std::deque<bool> confirmAnswers;
    std::deque<std::optional<QString>> inputAnswers;                 // nullopt: Cancel
    std::deque<std::function<bool(FileDialog&)>> fileDialogAnswers;  // sets fileName etc.
    std::deque<std::optional<QColor>> colorAnswers;                  // nullopt: Cancel
    std::deque<std::function<bool(QDialog&)>> dialogAnswers;         // runDialog: may set the
                                                                     // dialog up, true for OK
    // Runs while the print preview is "open"; the preview closes when it returns.
    std::function<void(QWidget&)> printPreviewAnswer;

    // Answers a file dialog with one path (OK).
    void answerFile(const QString& path)
    {
        fileDialogAnswers.push_back([path](FileDialog& d) {
            d.fileName = path;
            d.files = QStringList{path};
            return true;
        });
    }
    void cancelFile()
    {
        fileDialogAnswers.push_back([](FileDialog&) { return false; });
    }

    // The texts of the plain messages shown, in order.
    QStringList messages() const { return textsOf(Kind::Message); }
    QStringList errors() const { return textsOf(Kind::Error); }
    QStringList textsOf(Kind kind) const
    {
        QStringList out;
        for (const auto& s : shown)
            if (s.kind == kind)
                out << s.text;
        return out;
    }

    void record(const Shown& s)
    {
        shown.push_back(s);
        if (onShown)
            onShown(shown.back());
    }

    void showMessage(const QString& text) override { record({Kind::Message, kAppTitle, text}); }
    void messageBox(const QString& caption, const QString& text, MessageIcon icon) override
    {
        record({Kind::Box, caption, text, icon});
    }
    bool confirm(const QString& text) override
    {
        record({Kind::Confirm, QStringLiteral("Confirm"), text, MessageIcon::Question});
        if (confirmAnswers.empty()) {
            ADD_FAILURE() << "unexpected confirmation: " << text.toStdString();
            return false;
        }
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    void errorBox(const QString& text) override { record({Kind::Error, kAppTitle, text, MessageIcon::Error}); }
    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override
    {
        record({Kind::Input, caption, prompt});
        if (inputAnswers.empty()) {
            ADD_FAILURE() << "unexpected input box: " << prompt.toStdString();
            return false;
        }
        const auto answer = inputAnswers.front();
        inputAnswers.pop_front();
        if (!answer)
            return false;
        value = *answer;
        return true;
    }
    bool execute(FileDialog& dialog) override
    {
        record({Kind::FileDialog, dialog.title, dialog.filter});
        if (fileDialogAnswers.empty()) {
            ADD_FAILURE() << "unexpected file dialog";
            return false;
        }
        auto answer = std::move(fileDialogAnswers.front());
        fileDialogAnswers.pop_front();
        return answer(dialog);
    }
    bool execute(ColorDialog& dialog) override
    {
        record({Kind::ColorDialog, {}, {}});
        if (colorAnswers.empty()) {
            ADD_FAILURE() << "unexpected colour dialog";
            return false;
        }
        const auto answer = colorAnswers.front();
        colorAnswers.pop_front();
        if (!answer)
            return false;
        dialog.color = *answer;
        return true;
    }
    bool runDialog(QDialog& dialog) override
    {
        record({Kind::Dialog, {}, {}});
        if (dialogAnswers.empty()) {
            ADD_FAILURE() << "unexpected dialog";
            return false;
        }
        auto answer = std::move(dialogAnswers.front());
        dialogAnswers.pop_front();
        return answer(dialog);
    }
    void showPrintPreview(QWidget& preview) override
    {
        record({Kind::PrintPreview, {}, {}});
        if (printPreviewAnswer)
            printPreviewAnswer(preview);
    }
};

} // namespace plovex::test
