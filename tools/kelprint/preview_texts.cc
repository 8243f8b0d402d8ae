// The preview's texts in Catalan, Spanish, Galician and Aranese. Written
// here in UTF-8 and turned into code page 850 for the screen.

#include "tools/kelprint/preview_texts.h"

#include "app/config/language.h"
#include "app/config/settings.h"
#include "platform/console.h"

namespace tools {

namespace {

std::string Say(const char* catalan, const char* spanish, const char* galician,
                const char* aranese) {
  return platform::Utf8ToCp850(config::ByLanguage<std::string>(
      config::SettingsState().language, catalan, spanish, galician, aranese));
}

std::string N(int64_t n) { return std::to_string(n); }

// The arrow glyphs of the PC character set, in the cells' control range.
const std::string kDownUp = "\x19  \x18";
const std::string kRightLeft = "\x1A  \x1B";

// Said after a count that Esc can stop.
std::string EscStops() {
  return Say("  (Esc atura)", "  (Esc para)", "  (Esc para)", "  (Esc arrèste)");
}

}  // namespace

std::string PageOfText(int64_t page, int64_t pages, bool counting) {
  return Say("Pàgina ", "Página ", "Páxina ", "Pagina ") + N(page) + " de " + N(pages) +
         (counting ? "..." : "");
}

std::string KeysText() {
  return Say("F1 ajuda  Esc tornar  I imprimir  X exportar  G pàgina  F cercar  T total",
             "F1 ayuda  Esc volver  I imprimir  X exportar  G página  F buscar  T total",
             "F1 axuda  Esc volver  I imprimir  X exportar  G páxina  F buscar  T total",
             "F1 ajuda  Esc tornar  I imprimir  X exportar  G pagina  F cercar  T total");
}

std::vector<std::string> KeysListText(const std::string& printer) {
  const std::string pad(18, ' ');
  auto key = [&](const std::string& keys, const std::string& what) {
    return keys + pad.substr(0, pad.size() > keys.size() ? pad.size() - keys.size() : 1) + what;
  };
  return {
      key("PgDn  PgUp", Say("pàgina següent, anterior", "página siguiente, anterior",
                            "páxina seguinte, anterior", "pagina seguenta, anteriora")),
      key(kDownUp, Say("línia següent, anterior", "línea siguiente, anterior",
                       "liña seguinte, anterior", "linha seguenta, anteriora")),
      key(kRightLeft, Say("vuit columnes a la dreta, a l'esquerra",
                          "ocho columnas a la derecha, a la izquierda",
                          "oito columnas á dereita, á esquerda",
                          "ueit colomnes a dreta, a esquèrra")),
      key("Ctrl+\x1A  Ctrl+\x1B", Say("marge dret, esquerre", "margen derecho, izquierdo",
                                      "marxe dereita, esquerda", "marge dret, esquèrre")),
      key(Say("Inici  Fi", "Inicio  Fin", "Inicio  Fin", "Inici  Fin"),
          Say("primera, última pàgina", "primera, última página", "primeira, última páxina",
              "prumèra, darrèra pagina")),
      key("G", Say("anar a una pàgina", "ir a una página", "ir a unha páxina",
                   "anar a ua pagina")),
      key("F", Say("cercar un text (sense accents ni majúscules)",
                   "buscar un texto (sin acentos ni mayúsculas)",
                   "buscar un texto (sen acentos nin maiúsculas)",
                   "cercar un tèxte (sense accents ni majuscules)")),
      key("N  F3", Say("cercar-lo altra vegada", "buscarlo otra vez", "buscalo outra vez",
                       "cercar-lo un aute còp")),
      key("T", Say("anar a la línia del TOTAL GENERAL", "ir a la línea del TOTAL GENERAL",
                   "ir á liña do TOTAL XERAL", "anar ara linha deth TOTAL GENERAU")),
      key("I", Say("imprimir a ", "imprimir en ", "imprimir en ", "imprimir en ") + printer),
      key("X", Say("exportar a full de càlcul (XLSX)", "exportar a hoja de cálculo (XLSX)",
                   "exportar a folla de cálculo (XLSX)", "exportar a huelha de calcul (XLSX)")),
      key("Esc", Say("tornar", "volver", "volver", "tornar")),
  };
}

std::string AnyKeyText() {
  return Say("Qualsevol tecla torna a la pàgina", "Cualquier tecla vuelve a la página",
             "Calquera tecla volve á páxina", "Quinsevolh tòca torna ara pagina");
}

std::string GoToPromptText() {
  return Say("Anar a la pàgina: ", "Ir a la página: ", "Ir á páxina: ", "Anar ena pagina: ");
}

std::string PageRangeText(int64_t pages) {
  return Say("La pàgina ha de ser entre 1 i ", "La página debe estar entre 1 y ",
             "A páxina debe estar entre 1 e ", "Era pagina a d'èster entre 1 e ") +
         N(pages);
}

std::string FindPromptText() { return Say("Cercar: ", "Buscar: ", "Buscar: ", "Cercar: "); }

std::string FindingText(int64_t page) {
  return Say("Cercant... pàgina ", "Buscando... página ", "Buscando... páxina ",
             "Cercant... pagina ") +
         N(page) + EscStops();
}

std::string NotFoundText(const std::string& wanted) {
  return Say("No s'ha trobat «", "No se ha encontrado «", "Non se atopou «", "Non s'a trobat «") +
         wanted + Say("» fins al final", "» hasta el final", "» ata o final", "» enquia era fin");
}

std::string StoppedText(int64_t page) {
  return Say("Aturat a la pàgina ", "Parado en la página ", "Parado na páxina ",
             "Arrestat ena pagina ") +
         N(page);
}

std::string NoTotalText() {
  return Say("El llistat no té cap línia de TOTAL", "El listado no tiene ninguna línea de TOTAL",
             "A listaxe non ten ningunha liña de TOTAL", "Eth listat non a cap linha de TOTAL");
}

std::string CountingText(int64_t pages) {
  return Say("Comptant les pàgines... ", "Contando las páginas... ", "Contando as páxinas... ",
             "Comptant es pagines... ") +
         N(pages) + EscStops();
}

std::string MakingText(int64_t page, int64_t pages) {
  return Say("Fent el llistat... pàgina ", "Haciendo el listado... página ",
             "Facendo a listaxe... páxina ", "Hèt eth listat... pagina ") +
         N(page) + " de " + N(pages) +
         EscStops();
}

std::string ShownText(int64_t pages) {
  const std::string& language = config::SettingsState().language;
  const std::string shown = "KELPRINT: " + config::ByLanguage<std::string>(
                                               language, "vista prèvia", "vista previa",
                                               "vista previa", "vista prèvia");
  if (pages < 0) return shown;
  const bool one = pages == 1;
  return shown + " de " + N(pages) +
         config::ByLanguage<std::string>(language, one ? " pàgina" : " pàgines",
                                         one ? " página" : " páginas",
                                         one ? " páxina" : " páxinas",
                                         one ? " pagina" : " pagines");
}

}  // namespace tools
