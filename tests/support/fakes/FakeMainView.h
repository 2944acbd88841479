#pragma once

#include "settings/AppSettings.h"
#include "window/MainView.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kestrola::testing {

/// A main window of plain fields; the calls that tell steps apart go to `log` in order. The
/// hooks stand for the real window's edit notifications and expansion hook.
class FakeMainView : public core::MainView {
public:
    bool AskYesNo(std::string_view question) override {
        questions.emplace_back(question);
        return answer;
    }
    void ShowAboutBox() override {}
    void RunNotice(int textId, int seconds) override { notices.emplace_back(textId, seconds); }
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
        recipientList = entries;
    }
    void SetFocus(int control) override { focus = control; }
    void MoveCaretToEnd(int) override {}
    core::EditSelection Selection() const override { return selection; }
    void RunEditCommand(int control, int command) override {
        editCommands.emplace_back(control, command);
    }
    void EnableToolTips(bool) override {}
    void StyleButton(int control, const core::ButtonLook& look) override {
        buttonLooks[control] = look;
    }
    void StyleEdit(int, core::ColorRef, core::ColorRef, const core::LogFont&) override {}
    core::WindowState State() const override { return state; }
    bool Active() const override { return active; }
    void ShowWindow(core::ShowCommand command) override {
        using core::ShowCommand;
        state = command == ShowCommand::Hide ? core::WindowState::Hidden
                : command == ShowCommand::Minimize || command == ShowCommand::ShowMinimized
                    ? core::WindowState::Minimized
                    : core::WindowState::Normal;
    }
    void SetForeground() override { active = true; }
    void SetTopmost(bool) override {}
    bool SetExpanded(bool expand) override {
        if (expand != std::exchange(expanded, expand) && onExpansion)
            onExpansion(expanded);
        return true;
    }
    void SetWindowIcon(core::AttentionIcon icon) override { windowIcons.push_back(icon); }
    void SetUrgent(bool value) override { urgent = value; }
    void StartPollTimer(int milliseconds) override { pollTimer = milliseconds; }
    void KillPollTimer() override {
        Log("KillPollTimer");
        pollTimer = 0;
    }
    void EndDialog() override { ++ended; }
    bool TrayAvailable() const override { return trayAvailable; }
    void NotifyTray(core::TrayOperation operation, core::AttentionIcon icon,
                    const std::string& tip) override {
        if (operation != core::TrayOperation::Modify)
            Log(operation == core::TrayOperation::Add ? "NotifyTray(Add)" : "NotifyTray(Delete)");
        trayIcons.push_back(icon);
        trayTip = tip;
    }
    void ShowTrayMenu() override {}
    void ShowPassiveNotice(const std::string& text) override { passiveNotices.push_back(text); }
    std::string composer, viewer, recipient, title, trayTip;
    std::map<int, core::ButtonLook> buttonLooks;
    std::map<int, std::string> labels;
    core::EditSelection selection;
    std::vector<std::pair<int, int>> editCommands, notices;
    std::vector<std::string> recipientList, questions, passiveNotices;
    int focus = 0, pollTimer = 0, ended = 0;
    core::WindowState state = core::WindowState::Normal;
    bool active = true, expanded = false, urgent = false, trayAvailable = true, answer = false;
    std::vector<core::AttentionIcon> windowIcons, trayIcons;
    std::function<void()> onEdited;
    std::function<void(bool)> onExpansion;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();

private:
    void Log(const std::string& line) { log->push_back(line); }
};

} // namespace kestrola::testing
