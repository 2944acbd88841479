#pragma once

#include "settings/AppSettings.h"
#include "window/MainView.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kestrola::testing {

/// A main window made of plain fields: the controls' texts, labels, window state, tray and
/// every request, written to `log` in order. The hooks stand for what the real window does in
/// return (its edit notifications and its expansion hook).
class FakeMainView : public core::MainView {
public:
    bool AskYesNo(std::string_view question) override {
        Log("AskYesNo");
        questions.emplace_back(question);
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowAboutBox() override {
        Log("ShowAboutBox");
        ++aboutBoxes;
    }
    void RunNotice(int textId, int seconds) override {
        Log("RunNotice(" + std::to_string(textId) + ")");
        notices.emplace_back(textId, seconds);
        if (duringNotice)
            duringNotice();
    }
    void TakeTexts(core::WindowTexts& texts) override {
        texts.composer = composer;
        texts.recipient = recipient;
    }
    void PutTexts(const core::WindowTexts& texts) override {
        const bool edited = texts.composer != composer || texts.recipient != recipient;
        composer = texts.composer;
        viewer = texts.viewer;
        recipient = texts.recipient;
        if (edited && onEdited)
            onEdited();
    }
    void SetControlText(int control, const std::string& text) override { labels[control] = text; }
    void SetTitle(const std::string& text) override { title = text; }
    void SetRecipientList(const std::vector<std::string>& entries) override {
        Log("SetRecipientList");
        recipientList = entries;
    }
    void SetFocus(int control) override { focus = control; }
    void MoveCaretToEnd(int control) override { caretAtEnd = control; }
    core::EditSelection Selection() const override { return selection; }
    void RunEditCommand(int control, int command) override {
        editCommands.emplace_back(control, command);
    }
    void EnableToolTips(bool enable) override {
        Log("EnableToolTips");
        toolTips = enable;
    }
    void StyleButton(int control, const core::ButtonLook& look) override {
        Log("StyleButton(" + std::to_string(control) + ")");
        buttonLooks[control] = look;
    }
    void StyleEdit(int control, core::ColorRef background, core::ColorRef text,
                   const core::LogFont& font) override {
        Log("StyleEdit(" + std::to_string(control) + ")");
        editColours[control] = {background, text};
        editFonts[control] = font;
    }
    core::WindowState State() const override { return state; }
    bool Active() const override { return active; }
    void ShowWindow(core::ShowCommand command) override {
        shows.push_back(command);
        switch (command) {
        case core::ShowCommand::Minimize:
        case core::ShowCommand::ShowMinimized:
            state = core::WindowState::Minimized;
            break;
        case core::ShowCommand::Hide:
            state = core::WindowState::Hidden;
            break;
        case core::ShowCommand::ShowNormal:
        case core::ShowCommand::Restore:
            state = core::WindowState::Normal;
            break;
        }
    }
    void SetForeground() override { ++foregrounds; }
    void SetTopmost(bool value) override {
        Log(std::string("SetTopmost(") + (value ? "1" : "0") + ")");
        topmost = value;
    }
    bool SetExpanded(bool expand) override {
        if (expand != expanded) {
            expanded = expand;
            if (onExpansion)
                onExpansion(expanded);
        }
        return true;
    }
    void SetWindowIcon(core::AttentionIcon icon) override { windowIcons.push_back(icon); }
    void SetUrgent(bool value) override { urgent = value; }
    void StartPollTimer(int milliseconds) override {
        Log("StartPollTimer(" + std::to_string(milliseconds) + ")");
        pollTimer = milliseconds;
    }
    void KillPollTimer() override {
        Log("KillPollTimer");
        pollTimer = 0;
    }
    void EndDialog() override {
        Log("EndDialog");
        ++endDialogs;
    }
    bool TrayAvailable() const override { return trayAvailable; }
    void NotifyTray(core::TrayOperation operation, core::AttentionIcon icon,
                    const std::string& tip) override {
        static const char* const kNames[] = {"Add", "Modify", "Delete"};
        if (operation != core::TrayOperation::Modify)
            Log(std::string("NotifyTray(") + kNames[static_cast<int>(operation)] + ")");
        trayCalls.push_back({operation, icon, tip});
    }
    void ShowTrayMenu() override { ++trayMenus; }
    void ShowPassiveNotice(const std::string& text) override {
        Log("ShowPassiveNotice(" + text + ")");
    }

    struct TrayCall {
        core::TrayOperation operation;
        core::AttentionIcon icon;
        std::string tip;
    };

    // The controls.
    std::string composer;
    std::string viewer;
    std::string recipient;
    std::map<int, std::string> labels;
    std::string title;
    std::vector<std::string> recipientList;
    int focus = 0;
    int caretAtEnd = 0;
    core::EditSelection selection;
    std::vector<std::pair<int, int>> editCommands;
    bool toolTips = false;
    std::map<int, core::ButtonLook> buttonLooks;
    std::map<int, std::pair<core::ColorRef, core::ColorRef>> editColours;
    std::map<int, core::LogFont> editFonts;

    // The window.
    core::WindowState state = core::WindowState::Normal;
    bool active = true;
    std::vector<core::ShowCommand> shows;
    int foregrounds = 0;
    bool topmost = false;
    bool expanded = false;
    std::vector<core::AttentionIcon> windowIcons;
    bool urgent = false;
    int pollTimer = 0;
    int endDialogs = 0;

    // The tray and the dialogs.
    bool trayAvailable = true;
    std::vector<TrayCall> trayCalls;
    int trayMenus = 0;
    std::deque<bool> answers;
    std::vector<std::string> questions;
    int aboutBoxes = 0;
    std::vector<std::pair<int, int>> notices;

    std::function<void()> onEdited;
    std::function<void(bool)> onExpansion;
    std::function<void()> duringNotice;
    std::shared_ptr<std::vector<std::string>> log;

private:
    void Log(const std::string& line) {
        if (log)
            log->push_back(line);
    }
};

} // namespace kestrola::testing
