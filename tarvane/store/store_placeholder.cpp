// Replaced by the document class and the task files.
