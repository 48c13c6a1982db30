// The native build has no resources: its string table is a built-in copy of the one of
// ui/strings.rc (same bytes, code page 1252).
#include <cstring>

#include "platform/platform.h"

namespace {

struct TextEntry {
  int id;
  const char* text;
};

const TextEntry kTexts[] = {
    {4000, "Brannix Archive System (BAS)"},
    {4001, "&\334ber %s"},
    {4500, "Achtung!\n\nEs ist keine Quelldatei angegeben."},
    {4501, "Achtung!\n\nEs ist kein Zielverzeichnis angegeben."},
    {4502, "Achtung!\n\nDie Quelldatei kann nicht ge\366ffnet werden."},
    {4503, "Achtung!\n\nDas existierende Zielverzeichnis kann nicht umbennant werden!"},
    {4504, "Achtung!\n\nDer Archive Start-Pfad kann nicht ermittelt werden."},
    {4505, "Achtung!\n\nDie Quelldatei ist entwerder defekt oder\nkeine durch Zarpin32 erstellte Datei."},
    {4506,
     "Achtung!\n\nDie Kapazit\344t auf dem ausgew\344hlten Laufwerk ist nicht ausreichend.\n"
     "Es werden mindestens %ld.%ld MByte freier Speicherplatz ben\366tigt."},
    {4507, "Achtung!\n\nDie folgende Zieldatei kann nicht ge\366ffnet werden:\n\n%s"},
    {4508, "Achtung!\n\nLaufwerk/Volume \273%s\253 nicht bereit."},
    {4509,
     "Achtung!\n\nDas Zielverzeichnis wird von einer anderen Installation belegt!\n"
     "Bitte versuchen Sie es sp\344ter noch einmal."},
    {4510, "Achtung!\n\nDie Protokolldatei \273%s\253 kann nicht ge\366ffnet werden."},
    {4520,
     "Achtung!\n\nEine unterbrochene Installation in diesem Zielverzeichnis kann nicht r\374ckg\344ngig gemacht werden!\nBitte pr\374fen Sie \273%s\253."},
    {4600, "Soll der Entpackvorgang wirklich beendet werden?"},
    {4601, "Achtung!\n\nDas Zielverzeichnis existiert bereits!\nSoll es zur Sicherheit umbenannt werden?"},
    {4700, "Der Entpackvorgang wurde erfolgreich abgeschlossen\nund die entpackten Archives im BAS eingerichtet!"},
    {5000, "&Entpacken"},
    {5001, "Beenden"},
    {5002, "Abbrechen"},
    {5012, "Programme (*.exe)|*.exe|Alle Dateien (*.*)|*.*||"},
    {5013, "Backupverzeichnis l\366schen"},
    {5014, "Warten auf andere Installation"},
    {5020, "Unterbrochene Installation wird r\374ckg\344ngig gemacht"},
    {5021, "Unterbrochene Installation wird abgeschlossen"},
};

}  // namespace

int OsLoadString(ModuleHandle, int id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  for (const TextEntry& entry : kTexts) {
    if (entry.id != id) continue;
    // LoadStringA semantics: at most size - 1 characters and a terminator.
    size_t length = std::strlen(entry.text);
    if (length > static_cast<size_t>(size - 1)) length = static_cast<size_t>(size - 1);
    std::memcpy(buffer, entry.text, length);
    buffer[length] = '\0';
    return static_cast<int>(length);
  }
  return 0;
}
