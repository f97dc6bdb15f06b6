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

namespace {

// The caption, text and ErrorKind of a message built around a file's name.
void ShowAbout(ProgramState& S, Form1Components& C, int32_t kind, const std::string& text)
{
    C.Form3.SetCaption("ERRORE !");
    C.Form3.SetText(text);
    S.ErrorKind = kind;
    C.Form3.SetButton2Visible(false);
    C.Form3.Show();
}

std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

}  // namespace

std::string SetFaultReason(const SetCheck& check, int32_t languageFlag)
{
    const bool it = languageFlag == 0;
    switch (check.Fault) {
    case SetFault::None: return {};
    case SetFault::Unreadable: return it ? "non si puo' leggere" : "cannot be read";
    case SetFault::NeverReceived:
        return it ? "nominato con F7 e mai ricevuto: i suoi file sono vuoti"
                  : "named with F7 and never received: its files are empty";
    case SetFault::HeaderSize:
        return (it ? "un'intestazione ha 128 byte, questa " : "a header holds 128 bytes, this one ") +
               std::to_string(check.HeaderBytes);
    case SetFault::NoTextEnd:
        return it ? "la sezione di testo non ha il byte 0x00 di chiusura"
                  : "its text section has no closing 0x00 byte";
    case SetFault::NoBlockEnd:
        return it ? "l'intestazione chiede il blocco 5001, e nessun byte 0xFF di chiusura segue la sezione di testo"
                  : "its header calls for a 5001 block, and no closing 0xFF byte follows the text section";
    case SetFault::Interrupted:
        return it ? "un salvataggio si e' fermato mentre ne sostituiva i file, che possono mescolare due programmi: "
                    "salvarlo di nuovo (i file di prima sono accanto, con ~ davanti e .old in fondo al nome)"
                  : "a save stopped while it replaced its files, which may mix two programs: save it again "
                    "(the files from before are beside them, named with ~ before and .old after)";
    }
    return {};
}

void ShowSetFault(ProgramState& S, Form1Components& C, const SetCheck& check)
{
    // ErrorKind 3, as every other refusal of F8.
    ShowAbout(S, C, 3,
              (S.LanguageFlag == 0 ? "Programma non completo: " : "Not a whole stored program: ") +
                  FileNameOf(check.Path) + "\n" + SetFaultReason(check, S.LanguageFlag));
}

void ShowCannotWrite(ProgramState& S, Form1Components& C, const std::string& path)
{
    ShowAbout(S, C, TextOf(Message::FileError).ErrorKind,
              S.LanguageFlag == 0 ? "Impossibile scrivere " + path + "\nla cartella manca o e' di sola lettura"
                                  : "Cannot write " + path + "\nthe folder is missing or read-only");
}

void ShowNotStored(ProgramState& S, Form1Components& C, const std::string& why)
{
    ShowAbout(S, C, TextOf(Message::FileError).ErrorKind,
              (S.LanguageFlag == 0 ? "Programma ricevuto non salvato; i file con quel nome sono quelli di prima\n"
                                   : "The program received was not saved; the files of that name are the ones "
                                     "from before\n") +
                  why);
}

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

const char* LineText(Line line)
{
    switch (line) {
    case Line::Receiving: return "RICEZIONE IN CORSO";
    case Line::Transmitting: return "TRASMISSIONE IN CORSO  ";
    case Line::Done: return "OPERAZIONE ESEGUITA";
    case Line::Interrupted: return "TRASFERIMENTO INTERROTTO";
    case Line::WriteError: return TextOf(Message::FileError).TextIt;
    }
    return "";
}

void ShowLine(Form1Components& C, Line line) { C.Memo2.SetText(LineText(line)); }

std::string JournalUnwritable(const std::string& path, int32_t languageFlag)
{
    return languageFlag == 0 ? "Impossibile scrivere il registro dei trasferimenti " + path + "\ni trasferimenti proseguono senza"
                             : "Cannot write the journal of transfers " + path + "\ntransfers go on without it";
}

std::string ClosedMidTransfer(int32_t languageFlag)
{
    return languageFlag == 0 ? "programma chiuso durante il trasferimento" : "program closed during the transfer";
}

std::string LineHeldText(int32_t languageFlag)
{
    return languageFlag == 0 ? "NESSUN VIA DAL DISPOSITIVO (CTS): controllare il cavo, che il dispositivo sia acceso, "
                               "e per le pulsantiere FLOW CONTROL su NONE"
                             : "NO GO-AHEAD FROM THE DEVICE (CTS): check the cable, that the device is switched on, "
                               "and for the hand-helds FLOW CONTROL set to NONE";
}

std::string OpenWaitText(const std::string& what, int32_t languageFlag)
{
    return (languageFlag == 0 ? "APERTURA DELLA PORTA IN ATTESA: " : "WAITING FOR THE PORT TO OPEN: ") + what;
}

std::string LineErrorsText(LineErrorsAt where, const platform::LineErrors& seen, int32_t languageFlag)
{
    const bool it = languageFlag == 0;
    std::string counts;
    auto add = [&counts](int n, const char* name) {
        if (n > 0)
            counts += (counts.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(n);
    };
    add(seen.Framing, it ? "formato" : "framing");
    add(seen.Parity, it ? "parita'" : "parity");
    add(seen.Overrun, it ? "dati persi" : "overrun");
    add(seen.Break, it ? "interruzione" : "break");
    switch (where) {
    case LineErrorsAt::Reception:
        return it ? "RICEVUTO CON ERRORI DI LINEA (" + counts +
                        "): il programma puo' essere danneggiato e non e' stato salvato; i file con quel nome sono "
                        "quelli di prima. Controllare velocita' e cavo e ripetere la ricezione"
                  : "RECEIVED WITH LINE ERRORS (" + counts +
                        "): the program may be damaged and was not saved; the files of that name are the ones from "
                        "before. Check the speed and the cable and receive it again";
    case LineErrorsAt::Transmission:
        return it ? "TRASMESSO CON ERRORI DI LINEA (" + counts +
                        "): le richieste del dispositivo sono arrivate danneggiate. Controllare il programma sul "
                        "dispositivo"
                  : "SENT WITH LINE ERRORS (" + counts +
                        "): the device's requests arrived damaged. Check the program on the device";
    case LineErrorsAt::Terminal: break;
    }
    return it ? "ERRORI DI LINEA (" + counts + "): controllare velocita', parita' e cavo"
              : "LINE ERRORS (" + counts + "): check the speed, the parity and the cable";
}

std::string TitleSpaced(int port) { return "KORVEL SU COM " + std::to_string(port); }
std::string TitleJoined(int port) { return "KORVEL SU COM" + std::to_string(port); }
