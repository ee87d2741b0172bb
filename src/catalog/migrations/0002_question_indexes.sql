-- Indexes of the questions: files short of safe volumes (lacking), the
-- copies of a file and the checks of a copy (erasable), clips by ID and
-- UMID (copies, find), outputs of a clip, cards by when they were seen.
CREATE INDEX card_files_by_safe_volumes ON card_files (safe_volumes, card_id);
CREATE INDEX card_files_by_clip ON card_files (clip);
CREATE INDEX copies_by_file ON copies (file_id);
CREATE INDEX checks_by_copy ON checks (copy_id, checked_at);
CREATE INDEX checks_by_card ON checks (card_id, checked_at);
CREATE INDEX checks_by_clip ON checks (clip);
CREATE INDEX clips_by_clip_id ON clips (clip_id);
CREATE INDEX clips_by_umid ON clips (umid);
CREATE INDEX outputs_by_clip ON outputs (clip);
CREATE INDEX cards_by_last_seen ON cards (last_seen);
