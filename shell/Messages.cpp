#include "shell/Messages.h"

namespace {

// Spacing is the system's own: two blanks before the dash of the overwrite prompt,
// a blank before ")" in the .txt and .hdr texts and none in the .src one.
constexpr MessageText kTexts[] = {
    {1, "ERRORE !", "ERRORE !", "Porta seriale non disponibile", "Serial port not ready"},
    {2, "AVVISO", "AVVISO", "File gia' esistente - Sovrascrivere ?", "File already present  - Overwrite ?"},
    {3, "ERRORE !", "ERRORE !", "File richiesto (*.txt ) non esistente", "File (*.txt ) not found"},
    {3, "ERRORE !", "ERRORE !", "File richiesto (*.hdr ) non esistente", "File (*.hdr ) not found"},
    {3, "ERRORE !", "ERRORE !", "File richiesto (*.src) non esistente", "File (*.src) not found"},
    {4, "ERRORE !", "ERRORE !", "Time out porta seriale", "Serial port time out"},
    {5, "ERRORE !", "ERRORE !", "Manca un nome per il file da trasmettere", "File name missing"},
    {6, "ERRORE !", "ERRORE !", "Manca un nome per il file da ricevere", "File name missing"},
    {7, "ERRORE !", "ERRORE !", "Errore di scrittura del file ricevuto", "Received file write error"},
    {10, "AVVISO", "WARNING", "Selezionare una porta seriale", "Choose a serial port"},
};

}  // namespace

const MessageText& TextOf(Message m) { return kTexts[static_cast<int>(m)]; }

void ShowMessage(ProgramState& S, Form1Components& C, Message m)
{
    const MessageText& t = TextOf(m);
    const bool italian = S.LanguageFlag == 0;
    C.Form3.SetCaption(italian ? t.CaptionIt : t.CaptionEn);
    C.Form3.SetText(italian ? t.TextIt : t.TextEn);
    S.ErrorKind = t.ErrorKind;
    // The overwrite prompt is the only message with a second button.
    C.Form3.SetButton2Visible(m == Message::OverwritePrompt);
    C.Form3.Show();
}

void ShowLine(Form1Components& C, Line line)
{
    switch (line) {
    case Line::Receiving: return C.Memo2.SetText("RICEZIONE IN CORSO");
    case Line::Transmitting: return C.Memo2.SetText("TRASMISSIONE IN CORSO  ");
    case Line::Done: return C.Memo2.SetText("OPERAZIONE ESEGUITA");
    case Line::Interrupted: return C.Memo2.SetText("TRASFERIMENTO INTERROTTO");
    case Line::WriteError: return C.Memo2.SetText(TextOf(Message::FileError).TextIt);
    }
}

std::string TitleSpaced(int port) { return "KORVEL SU COM " + std::to_string(port); }
std::string TitleJoined(int port) { return "KORVEL SU COM" + std::to_string(port); }
