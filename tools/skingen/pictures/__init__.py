"""Every module of this package defines pictures; importing the package registers them all."""

import importlib
import pkgutil

for _module in pkgutil.iter_modules(__path__):
    importlib.import_module(__name__ + "." + _module.name)
