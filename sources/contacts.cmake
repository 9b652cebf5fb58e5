# Contacts side: filled in by its builder.
