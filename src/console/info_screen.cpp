#include "console/info_screen.h"

#include <string>

#include "console/input.h"
#include "console/output.h"
#include "media/now_playing.h"

namespace varlo {

namespace {

// Page 1, rows 1 to 18, each line from column 1.
constexpr const char* kPageOne[] = {
    "",
    " Varlo Info",
    "",
    "Dieses Programm spielt alle im Aufrufverzeichniss befindlichen",
    "Media Dateien ab (mittels mci aufruf).",
    "",
    "Die Sortierung erfolgt nur aufgrund des Dateinamens und kann",
    "per Zufall oder Alphabetisch erfolgen.",
    "Der Dateiname sollte wie folgt vorgegeben sein um nach",
    "Interpreten zu sortieren: 'Titel' & ' - ' & 'Interpret'",
    "Alles nach 'Space - Space' wird als Interpret definiert.",
    "",
    "Ist die 'Down' Zeit abgelaufen wird nach beenden des",
    "aktuellen Titels der Rechner runtergefahren. Vorzugsweise",
    "wird der Ruhemodus benutzt so das nach einem Neustart das",
    "Programm da weitermachen kann wo es zuvor war.",
    "Durch Aufruf mit Parameter ( z.B. varlo mp3 ) werden nur",
    "dem entsprechende Dateien gefunden.",
};

// Page 2, rows 1 to 12; row 13 is the credit line.
constexpr const char* kPageTwo[] = {
    "",
    "Ob und welche Formate wiedergegeben werden entscheidet",
    "das System und die installierten Treiber (Codecs).",
    "Ebenso variiert die Startfenster Darstellung je nach ",  // trailing blank kept
    "Betriebsystem. (Bei W7 passend.)",
    "Unter W10 legen sie ein Desktop-icon an und",
    "deaktivieren sie unter Eigenschaften-Optionen das",
    "Feld 'Quick-Edit-Modus' und unter Layout 'Textausgabe",
    "umbrechen' Kreuz auf Feld entfernen.",
    "Mit der Taste 'r' wird der Bildaufbau erneuert.",
    "Mit der Taste 'o' wechseln sie den Ordner .",
    "",
};

template <size_t N>
void ShowPage(Context& ctx, const char* const (&lines)[N]) {
    ClearScreen(ctx);
    for (const char* line : lines) PrintLine(ctx, line);
}

// Any key or click; what it was is not looked at.
void WaitForAnyInput(Context& ctx) {
    ctx.input.InputPollOnce = 0;
    WaitInput(ctx);
}

}  // namespace

void InfoScreen(Context& ctx) {
    PublishNowPlaying(ctx, NowPlaying::State::Stopped);
    ShowPage(ctx, kPageOne);
    WaitForAnyInput(ctx);
    ShowPage(ctx, kPageTwo);
    PrintLine(ctx, std::string("      ") + kCreditLine);
    WaitForAnyInput(ctx);
}

}  // namespace varlo
