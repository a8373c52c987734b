// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form.h"

#include <QCloseEvent>
#include <QEventLoop>

#include <vector>

Form::Form(QWidget* parent) : QWidget(parent) {}

void Form::Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    InitializeControls();
    Form_Load();
}

void Form::Unload()
{
    if (!m_loaded)
        return;
    Form_Unload();
    hide();
    m_loaded = false;
}

void Form::ShowModal()
{
    if (m_modalLoop != nullptr)
        return;
    setWindowModality(Qt::ApplicationModal);
    show();
    QEventLoop loop;
    m_modalLoop = &loop;
    loop.exec();
    m_modalLoop = nullptr;
    setWindowModality(Qt::NonModal);
}

void Form::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (m_modalLoop != nullptr)
        m_modalLoop->quit();
}

void Form::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    Unload();
}

namespace FormRegistry {
namespace {
std::vector<std::function<void()>>& destroyers()
{
    static std::vector<std::function<void()>> list;
    return list;
}
} // namespace

void registerInstance(std::function<void()> destroy)
{
    destroyers().push_back(std::move(destroy));
}

void DestroyAll()
{
    auto list = std::move(destroyers());
    destroyers().clear();
    // Newest first: later windows may refer to earlier ones while they go.
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        (*it)();
}
} // namespace FormRegistry
