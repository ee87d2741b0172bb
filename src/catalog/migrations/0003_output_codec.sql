-- The codec of a proxy output (prores-proxy, prores-lt, dnxhr-lb, h264) and
-- its picture size; NULL for the formats that keep the card's pictures.
ALTER TABLE outputs ADD COLUMN codec ${text};
ALTER TABLE outputs ADD COLUMN picture_size ${text};
