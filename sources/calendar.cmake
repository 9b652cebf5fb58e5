# Calendar side: filled in by its builder.
