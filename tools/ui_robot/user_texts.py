"""The installer's texts as the user must see them, in Windows-1251 bytes.

Written out here from the product's description, not taken from its
sources, so a wrong byte in the product cannot hide in both places.
"""


def _cp1251(value):
    return value.encode("cp1251")


USAGE = _cp1251("Usage: PATCH.EXE resource_nm [output_nm MAKEEXE]")
CAPTION = _cp1251("Brindlex updater")
TARGET_NOT_FOUND = _cp1251("Оригинальная программа не найдена на вашем компьютере!\r\n")
INSTALLED = _cp1251("Обновление успешно установлено!\r\n")
LEVEL_WARNING = _cp1251(
    "Обнаружено текущее или более позднее обновление!\r\nПродолжить установку?\r\n")
LEVEL_WARNING_CAPTION = _cp1251("!")
COMMANDS_FAILED = _cp1251("Ошибка при исполнении внешних программ!\r\n")
COMMANDS_FAILED_CAPTION = _cp1251("!")
BUTTON_OK = _cp1251("OK")


def file_updated(path):
    """Status after a file was written; `path` is the full destination path."""
    return _cp1251("Обновление успешно завершено!\r\n(") + path + b")\r\n"


def file_failed(path):
    """Status after a file failed; `path` is the full destination path."""
    return _cp1251("Ошибка в процессе обновления файла!\r\n(") + path + b")\r\n"


def updating_file(name):
    """Status before a file is touched; `name` is the installed relative name."""
    return _cp1251("Обновляем файл ") + name + b"...."
