// placeholder: filled in by the KLocales work
