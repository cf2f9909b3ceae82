// What the rules of an entry window answer to a box entered or a button pressed: a refusal to
// tell, a question to ask before going on, or going on.
#pragma once

#include <QString>

namespace tarvino
{

struct EntryAnswer {
    enum class Kind {
        Refuse, // text is told and nothing is done
        Ask,    // text is asked under title; a no does nothing
        GoOn,   // the work goes on
    };
    Kind kind = Kind::GoOn;
    QString text;
    QString title;

    static EntryAnswer refuse(const QString& text) { return {Kind::Refuse, text, {}}; }
    static EntryAnswer ask(const QString& text, const QString& title)
    {
        return {Kind::Ask, text, title};
    }
    bool goesOn() const { return kind == Kind::GoOn; }
};

} // namespace tarvino
