#include "Form.h"

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
