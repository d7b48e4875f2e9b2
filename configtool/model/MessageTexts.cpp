#include "MessageTexts.h"

#include <array>

namespace calvista {
namespace {

// Entries 20 and 23 are not used by the tool and hold no text.
constexpr std::array<const char *, kMessageCount> kEnglish{
    "Error",
    "Warning",
    "Notification",
    "OK",
    "Cancel",
    "Close",
    "Re-Connect",
    "Restart",
    "Yes",
    "No",
    "Update",
    "Wrong Vantrel parameter file.",
    "File I/O error.",
    "File operation error. Please check if the file is not opened in another program or is write protected.",
    "File does not exist.",
    "Error during file selection.",
    "Should the existing file be overwritten?",
    "Saving process aborted.",
    "Vantrel connected",
    "Vantrel not connected",
    "",
    "No USB adapter present, please check connection.",
    "No Vantrel connected, please check connection.",
    "",
    "Vantrel was removed and/or data communication error. Application will be restarted.",
    "Interface driver not found.",
    "Vantrel was removed and/or data communication error.",
    "Connected Vantrel has been removed.",
    "Communication error, application will be restarted.",
    "Communication error, power will be switched off.",
    "Are you sure to restore factory defaults?",
    "Unable to restore factory defaults.",
    "Parameter 'Resolution' not supported.",
    "Calibration aborted by user.",
    "Wrong direction, please reverse.",
    "Rotational speed too high, please decrease.",
    "Calibration failed. Please check mechanical settings.",
    "Calibration successful.",
    "Calibration successfully deleted.",
    "Error during deletion process.",
    "Error during calibration process. Calibration will be closed.",
    "Do you really want to close the application?",
    "Wrong password, software will start in normal mode.",
    "Error during screenshot operation.",
    "Vantrel parameters must be updated before saving to file.",
    "Vantrel parameters are not updated yet.",
    "Localization file not found. Please reinstall software for full functionality.",
    "Update started, please do not remove Vantrel.",
    "Vantrel firmware version not supported. Application will be terminated.",
    "Vantrel firmware version not fully supported. Please update software.",
    "Unknown device. Application will be terminated.",
    "Linear",
    "Rotary (%d poles)",
    "ORIGINAL",
    "MODIFIED",
    "PLEASE WAIT, TRANSFER IN PROGRESS...",
    "PLEASE WAIT...",
    "PLEASE WAIT, RESTARTING...",
    "NEW VANTREL DETECTED. READING IN PROGRESS...",
    "PLEASE WAIT, SETTING PRESET...",
    "PLEASE WAIT, READING STORED ERRORS...",
    "PLEASE WAIT, READING WORK TIME...",
    "PLEASE WAIT, PREPARING CALIBRATION...",
    "READY",
    "ERROR",
    "READING SENSOR...",
    "CONNECTION ERROR",
    "Connecting...",
    "Connecting...ERROR, USB adapter not present.",
    "Connecting...ERROR, Vantrel not connected.",
    "Connection OK.",
    "Please wait...",
    "READING...",
    "\r\nPlease define number of poles.\r\n'Enter' will start parameter calculation.",
    "\r\nPlease wait, calculating parameters...",
    "\r\nCalculation done.\r\n'START calibration' will start\r\ncalibration process.",
    "\r\nERROR. Calculation failed.",
    "\r\nRotate forward with constant\r\nand slow speed.",
    "\r\nERROR. Mechanical settings are not ideal\r\nor wrong number of poles, please check.",
    "\r\nRotate forward with constant\r\nand slow speed. Searching for starting point...",
    "\r\nRotate forward with constant\r\nand slow speed. Measuring...",
    "\r\nStop rotation.",
    "\r\nRotate backwards with constant\r\nand slow speed.",
    "\r\nRotate backwards with constant\r\nand slow speed. Searching for starting point...",
    "\r\nRotate backwards with constant\r\nand slow speed. Measuring...",
    "\r\nRotational speed too high, please decrease.",
    "\r\nPlease wait, calculating parameters...",
    "\r\nCalibration finished.",
    "\r\nERROR. Calibration failed.",
    "\r\nPlease wait, updating parameters...",
    "\r\nPlease wait, deleting calibration...",
    "\r\nERROR.",
};

constexpr std::array<const char *, kMessageCount> kGerman{
    "Fehler",
    "Warnung",
    "Meldung",
    "OK",
    "Abbrechen",
    "Beenden",
    "Neu verbinden",
    "Neu starten",
    "Ja",
    "Nein",
    "Aktualisieren",
    "Falsche Vantrel Parameter Datei.",
    "Datei I/O Fehler.",
    "Fehler beim \xD6" "ffnen der Datei. Bitte stellen Sie sicher, dass die Datei weder in einem anderen Programm ge\xF6" "ffnet, noch schreibgesch\xFCtzt ist.",
    "Datei existiert nicht.",
    "Fehler bei der Dateiauswahl.",
    "Soll die bereits vorhandene Datei ersetzt werden?",
    "Speichervorgang abgebrochen.",
    "Vantrel verbunden",
    "Vantrel nicht verbunden",
    "",
    "Kein USB Adapter vorhanden. Bitte Anschluss \xFC" "berpr\xFC" "fen.",
    "Kein Vantrel verbunden. Bitte Anschluss \xFC" "berpr\xFC" "fen.",
    "",
    "Vantrel wurde entfernt und/oder Daten\xFC" "bertragungsfehler. Programm wird neu gestartet.",
    "Schnittstellentreiber nicht gefunden.",
    "Vantrel wurde entfernt und/oder Daten\xFC" "bertragungsfehler.",
    "Das angeschlossene Vantrel wurde entfernt.",
    "Kommunikationsfehler, Programm wird neu gestartet.",
    "Kommunikationsfehler, Spannung wird ausgeschaltet.",
    "Werkseinstellungen zur\xFC" "cksetzen?",
    "Werkseinstellungen k\xF6nnen nicht zur\xFC" "ckgesetzt werden.",
    "Parameter 'Aufl\xF6sung' wird nicht unterst\xFCtzt.",
    "Kalibrierung vom Benutzer abgebrochen.",
    "Drehrichtung falsch, bitte \xE4ndern.",
    "Drehzahl zu hoch, bitte reduzieren.",
    "Kalibrierung nicht erfolgreich. Bitte mechanische Einstellungen \xFC" "berpr\xFC" "fen.",
    "Kalibrierung erfolgreich.",
    "Kalibrierung erfolgreich gel\xF6scht.",
    "Fehler w\xE4hrend des L\xF6schvorgangs.",
    "Fehler w\xE4hrend des Kalibrierungsvorgangs. Kalibrierung wird beendet.",
    "M\xF6" "chten Sie das Programm wirklich beenden?",
    "Passwort fehlerhaft, starte im normalen Modus.",
    "Fehler w\xE4hrend des Screenshotvorgangs.",
    "Vor dem Speichern in eine Datei m\xFCssen die Vantrel-Parameter aktualisiert werden.",
    "Vantrel-Parameter wurden nicht aktualisiert.",
    "Sprachdatei nicht gefunden. Bitte Programm neu installieren f\xFCr volle Funktionalit\xE4t.",
    "Aktualisierungsvorgang gestartet, bitte Vantrel nicht entfernen.",
    "Vantrel Firmware Version nicht unterst\xFCtzt. Programm wird beendet.",
    "Vantrel Firmware Version nicht vollst\xE4ndig unterst\xFCtzt. Bitte Programm aktualisieren.",
    "Unbekanntes Ger\xE4t. Programm wird beendet.",
    "Linear",
    "Rotativ (%d Polen)",
    "ORIGINAL",
    "MODIFIZIERT",
    "BITTE WARTEN, \xDC" "BERTRAGUNG L\xC4UFT...",
    "BITTE WARTEN...",
    "BITTE WARTEN, SENSOR WIRD NEU GESTARTET...",
    "NEUES VANTREL ERKANNT. SENSOR WIRD GELESEN...",
    "BITTE WARTEN, PRESET WIRD EINGESTELLT...",
    "BITTE WARTEN, GESPEICHERTER FEHLER WIRD GELESEN...",
    "BITTE WARTEN, BETRIEBSZEIT WIRD GELESEN...",
    "BITTE WARTEN, KALIBRIERUNG WIRD VORBEREITET...",
    "BEREIT",
    "FEHLER",
    "SENSOR WIRD GELESEN...",
    "VERBINDUNGSFEHLER",
    "Verbinden...",
    "Verbinden...FEHLER, USB Adapter nicht verf\xFCgbar.",
    "Verbinden...FEHLER, Vantrel nicht verbunden.",
    "Verbindung OK.",
    "Bitte warten...",
    "LESEN...",
    "\r\nBitte Anzahl der Pole eingeben.\r\n'Enter' startet die Parameterberechnung.",
    "\r\nBitte warten, Parameter werden berechnet...",
    "\r\nKalkulation abgeschlossen.\r\n'Kalibrierung STARTEN' startet den Kalibrierungsprozess.",
    "\r\nFEHLER. Kalkulation nicht erfolgreich.",
    "\r\nVorw\xE4rts drehen mit konstanter und\r\nkleiner Drehzahl.",
    "\r\nFEHLER. Mechanische Einstellungen nicht optimal\r\noder falsche Polanzahl, bitte \xFC" "berpr\xFC" "fen.",
    "\r\nVorw\xE4rts drehen mit konstanter und\r\nkleiner Drehzahl. Anfangspunkt wird gesucht...",
    "\r\nVorw\xE4rts drehen mit konstanter und\r\nkleiner Drehzahl. Messung...",
    "\r\nDrehbewegung anhalten.",
    "\r\nR\xFC" "ckw\xE4rts drehen mit konstanter und\r\nkleiner Drehzahl.",
    "\r\nR\xFC" "ckw\xE4rts drehen mit konstanter und\r\nkleiner Drehzahl. Anfangspunkt wird gesucht...",
    "\r\nR\xFC" "ckw\xE4rts drehen mit konstanter und\r\nkleiner Drehzahl. Messung...",
    "\r\nDrehzahl zu hoch, bitte reduzieren.",
    "\r\nBitte warten, Parameter werden kalkuliert...",
    "\r\nKalibrierung abgeschlossen.",
    "\r\nFEHLER. Kalibrierung fehlgeschlagen.",
    "\r\nBitte warten, Parameter werden aktualisiert...",
    "\r\nBitte warten, Kalibrierung wird gel\xF6scht...",
    "\r\nFEHLER.",
};

} // namespace

std::span<const char *const> MessageTable(Language language)
{
    switch (language) {
    case Language::English:
        return kEnglish;
    case Language::German:
        return kGerman;
    }
    return {};
}

const char *MessageText(Language language, int index)
{
    const auto table = MessageTable(language);
    if (index < 0 || static_cast<std::size_t>(index) >= table.size())
        return "";
    return table[static_cast<std::size_t>(index)];
}

std::optional<int> FindMessageIndex(Language language, std::string_view text)
{
    const auto table = MessageTable(language);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const std::string_view entry = table[i];
        if (!entry.empty() && entry == text)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

} // namespace calvista
