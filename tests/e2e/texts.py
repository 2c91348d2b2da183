"""What the tool shows and writes, written out independently of its resources."""

SETTINGS_WINDOWS_PATH = r"c:\dxerror.ini"

DEFAULT_CONTENT = b"[DirectX Errors]\r\n\r\npagesync=0\r\nhighspeed=1\r\nlanguage=0\r\n"

# Control ids of the configuration dialog.
IDOK, IDCANCEL = 1, 2
HIGH_PRIORITY, NORMAL_PRIORITY = 1000, 1001
FLIP_BY_GAME, FLIP_BY_DIRECTX = 1002, 1003
LANG_GERMAN, LANG_ENGLISH = 1005, 1006
PRIORITY_HELP, PAGEFLIP_HELP, LANGUAGE_HELP, INTRO_TEXT = 1007, 1008, 1009, 1010
RADIO_BUTTONS = (HIGH_PRIORITY, NORMAL_PRIORITY, FLIP_BY_GAME, FLIP_BY_DIRECTX,
                 LANG_GERMAN, LANG_ENGLISH)

# Each option's pair: key, button for "1", button for "0".
PAIRS = {
    "highspeed": (HIGH_PRIORITY, NORMAL_PRIORITY),
    "pagesync": (FLIP_BY_GAME, FLIP_BY_DIRECTX),
    "language": (LANG_ENGLISH, LANG_GERMAN),
}
# What a click on each button stores.
STORES = {button: (key, value)
          for key, (on, off) in PAIRS.items()
          for button, value in ((on, "1"), (off, "0"))}

CONTACT = "support@brivel.example"
HOMEPAGE = "http://www.brivel.example"

ENGLISH = {
    PRIORITY_HELP:
        'On some system configurations the game runs too slow in the "Normal Priority Mode". '
        'That problem could often be solved by selecting "High Priority Mode", which disables '
        "the multitasking environment during the game.",
    PAGEFLIP_HELP:
        "Some DirectX drivers do not handle the pageflipping correctly. This causes the game "
        'to run too quick and can only be solved by using "Pageflipping via game"-mode.',
    LANGUAGE_HELP:
        "Language, which the texts in the game are in. Currently there are only two languages "
        "available and German is not featured by all our games.",
    INTRO_TEXT:
        "With this tool You configure all Brivel games. The configuration will be saved at "
        "c:\\dxerrors.ini.\nIf a game doesn't run correctly, make some changes below and try "
        "again!\n\nBrivel contact adress: " + CONTACT + "\nHomepage: " + HOMEPAGE,
    IDCANCEL: "Remove dxerror.ini",
}

GERMAN = {
    PRIORITY_HELP:
        "Je  nach Rechnerkonfiguration kann das Spiel in normaler Einstellung zu langsam "
        "laufen - und dadurch ruckeln. In vielen Fällen hilft hier ein Wechseln zum "
        '"High Priority Mode", welcher alle anderen Prozesse blockiert.',
    PAGEFLIP_HELP:
        "Bei einigen DirectX Treibern funktioniert das Pageflipping nicht richtig. Das Spiel "
        "wird dann nicht mehr synchronisiert und läuft somit zu schnell. In diesem Fall kann "
        'die Einstellung "Pageflipping via game" Abhilfe schaffen.',
    LANGUAGE_HELP:
        "Sprache, in der die Bildschirmtexte und Sprachausgaben verfaßt sind.\nIm Moment "
        "werden nur Englisch und Deutsch angeboten, wobei einige Spiele Deutsch nicht "
        "unterstützen.\n",
    INTRO_TEXT:
        "Mit diesem Programm erstellen Sie eine Konfiguration für alle Spiele von Brivel: "
        "c:\\dxerrors.ini !\nFalls ein Spiel nicht zufriedenstellend läuft, ändern Sie diese "
        "Einstellungen und versuchen es erneut.\n\nBrivel Kontaktadresse: " + CONTACT +
        "\nHomepage: " + HOMEPAGE,
    IDCANCEL: "dxerror.ini löschen",
}

# The texts that the dialog template gives and nothing changes.
FIXED_TEXTS = {
    IDOK: "OK",
    HIGH_PRIORITY: "High Priority Mode",
    NORMAL_PRIORITY: "Normal Priority Mode",
    FLIP_BY_GAME: "Pageflipping via game",
    FLIP_BY_DIRECTX: "Pageflipping via DirectX",
    LANG_GERMAN: "Deutsch",
    LANG_ENGLISH: "English",
}
# Before any language is applied.
TEMPLATE_TEXTS = {PRIORITY_HELP: "", PAGEFLIP_HELP: "", LANGUAGE_HELP: "", INTRO_TEXT: "",
                  IDCANCEL: "Remove dxerror.ini"}

# File errors as reported (caption: the executable's name).
SHARING_VIOLATION_NAMED = "A sharing violation occurred while accessing c:\\dxerror.ini."
SHARING_VIOLATION_UNNAMED = "A sharing violation occurred while accessing an unnamed file."
DISK_FULL_NAMED = "Disk full while accessing c:\\dxerror.ini."
ACCESS_DENIED_NAMED = "Access to c:\\dxerror.ini was denied."
ACCESS_DENIED_UNNAMED = "Access to an unnamed file was denied."
NOT_FOUND_UNNAMED = "an unnamed file was not found."
