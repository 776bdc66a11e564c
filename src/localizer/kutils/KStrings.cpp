// placeholder: filled in by the KStrings work
